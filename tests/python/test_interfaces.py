# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""The client's method table is the interface description: same interfaces, methods, argument
names, order and types as resources/dbus/*.xml."""

import xml.etree.ElementTree as ET
from pathlib import Path

from tarsion import _interfaces

DESCRIPTIONS = Path(__file__).resolve().parents[2] / "resources" / "dbus"


def described():
    """{interface: {method: (inputs, outputs)}} of every com.tessaric interface in the XML files."""
    interfaces = {}
    for path in sorted(DESCRIPTIONS.glob("*.xml")):
        for interface in ET.parse(path).getroot().iter("interface"):
            methods = interfaces.setdefault(interface.get("name"), {})
            for method in interface.iter("method"):
                inputs = tuple((arg.get("name"), arg.get("type")) for arg in method.iter("arg")
                               if arg.get("direction", "in") == "in")
                outputs = tuple(arg.get("type") for arg in method.iter("arg") if arg.get("direction") == "out")
                methods[method.get("name")] = (inputs, outputs)
    return interfaces


def flattened(interfaces):
    return [(interface, method, inputs, outputs)
            for interface, methods in interfaces.items() for method, (inputs, outputs) in methods.items()]


def test_the_client_calls_every_described_method_with_its_arguments():
    xml = described()
    assert sorted(xml) == sorted(_interfaces.INTERFACES)
    for interface in xml:
        assert flattened({interface: _interfaces.INTERFACES[interface]}) == flattened({interface: xml[interface]})


def test_method_names_are_unique_over_the_object():
    assert len(_interfaces.METHODS) == sum(len(methods) for methods in described().values())
