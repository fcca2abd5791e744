# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
# Sourced by the build and package scripts: the time of the commit as SOURCE_DATE_EPOCH, which
# rcc and CPack take for the file times they write, so that two builds of one commit are the same.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && git -C "$(dirname "${BASH_SOURCE[0]}")" rev-parse --git-dir >/dev/null 2>&1; then
    SOURCE_DATE_EPOCH="$(git -C "$(dirname "${BASH_SOURCE[0]}")" log -1 --format=%ct)"
    export SOURCE_DATE_EPOCH
fi
