#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Tessaric
"""Writes the method tables of the automation object from its D-Bus interface descriptions.

The descriptions in resources/dbus/ are the only list of the object's methods. From them this
script writes, at build time, the tables the program would otherwise keep by hand:

  calls     the call table of the interface a script's `Tarsion` variable stands for, in the
            operation library: one entry a method with its argument count and a binder that reads
            the arguments in order and type (from the bus or from a replayed script) and hands
            them to the method's adaptor.
  dispatch  the automation object's dispatch table over every interface, with each call's
            signature, its binder and the introspection data the object answers.

Each method has one adaptor written by hand: a function named after the method, in a namespace
named after the interface's last part in lower case (`board1::PokeMany`), whose parameters are the
method's in-arguments. The generated header declares it; an adaptor missing, or one whose
parameters don't match the description, fails the build. A new description plugs in by being
listed in the CMake variable TARSION_INTERFACE_FILES and having its adaptors written.

Annotations read here (besides those passed on to the introspection data):
  com.tessaric.Tarsion.AnsweredAtOnce  the call is answered at once, also while an operation runs
  com.tessaric.Tarsion.WritesFiles     the method writes files: a replayed script may not call it

Usage:
  generate-interface-tables.py calls INTERFACE OUTPUT_STEM XML...
  generate-interface-tables.py dispatch CALLS_INTERFACE CALLS_HEADER OUTPUT_STEM XML...
OUTPUT_STEM is a path without extension; STEM.h and STEM.cpp are written (only when they change).
"""
import keyword
import re
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

ANSWERED_AT_ONCE = "com.tessaric.Tarsion.AnsweredAtOnce"
WRITES_FILES = "com.tessaric.Tarsion.WritesFiles"
HEADER_NOTE = "// Written by tools/generate-interface-tables.py from the descriptions in resources/dbus/: edit those.\n"

CPP_KEYWORDS = {
    "and", "asm", "auto", "bool", "break", "case", "catch", "char", "class", "const", "continue",
    "default", "delete", "do", "double", "else", "enum", "explicit", "export", "extern", "false",
    "float", "for", "friend", "goto", "if", "inline", "int", "long", "mutable", "namespace", "new",
    "not", "operator", "or", "private", "protected", "public", "register", "return", "short",
    "signed", "sizeof", "static", "struct", "switch", "template", "this", "throw", "true", "try",
    "typedef", "typeid", "typename", "union", "unsigned", "using", "virtual", "void", "volatile",
    "while", "xor",
}

# The C++ type each basic D-Bus type is read into. A variant of the script's interface is a number
# that counts by its own type (CCallNumber); the versioned interfaces read a variant as the value
# its own type gives (BusValue). The other types the automation object takes are read as they are.
BASIC_TYPES = {
    "y": "std::uint8_t", "b": "bool", "n": "std::int16_t", "q": "std::uint16_t",
    "i": "std::int32_t", "u": "std::uint32_t", "x": "std::int64_t", "t": "std::uint64_t",
    "d": "double", "s": "std::string", "v": "CCallNumber",
}
VERSIONED_VARIANT = "BusValue"
# What a replayed script's literals (numbers, strings, booleans) can stand for.
CALL_TYPES = {"v", "n", "i", "d", "b", "s"}
# The results a call of the replayed interface gives.
CALL_RESULTS = {"", "b", "n", "d"}


class DescriptionError(Exception):
    pass


class Argument:
    def __init__(self, name, signature):
        self.name = name
        self.signature = signature


class Method:
    def __init__(self, interface, name, inputs, outputs, annotations):
        self.interface = interface
        self.name = name
        self.inputs = inputs
        self.outputs = outputs
        self.annotations = annotations

    @property
    def in_signature(self):
        return "".join(arg.signature for arg in self.inputs)

    @property
    def out_signature(self):
        return "".join(arg.signature for arg in self.outputs)

    def flag(self, annotation):
        return self.annotations.get(annotation, "false") == "true"


def identifier(name, what):
    if not re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", name or ""):
        raise DescriptionError(f"{what} {name!r} is not a name C++ can use")
    return name + "_" if name in CPP_KEYWORDS or keyword.iskeyword(name) else name


def split_signature(signature):
    """The complete types of a signature, in order."""
    types = []
    at = 0
    while at < len(signature):
        end = complete_type_end(signature, at)
        types.append(signature[at:end])
        at = end
    return types


def complete_type_end(signature, at):
    if at >= len(signature):
        raise DescriptionError(f"signature {signature!r} ends inside a type")
    c = signature[at]
    if c == "a":
        return complete_type_end(signature, at + 1)
    if c in "({":
        close = ")" if c == "(" else "}"
        at += 1
        while at < len(signature) and signature[at] != close:
            at = complete_type_end(signature, at)
        if at >= len(signature):
            raise DescriptionError(f"signature {signature!r} has no {close!r}")
        return at + 1
    if c in BASIC_TYPES or c in "og":
        return at + 1
    raise DescriptionError(f"signature {signature!r} has the unknown type {c!r}")


def cpp_type(signature, variant=BASIC_TYPES["v"]):
    """The C++ type a complete D-Bus type is read into; a variant into `variant`."""
    if signature == "v":
        return variant
    if signature in BASIC_TYPES:
        return BASIC_TYPES[signature]
    if signature.startswith("a{"):
        key, value = split_signature(signature[2:-1])
        return f"std::vector<std::pair<{cpp_type(key, variant)}, {cpp_type(value, variant)}>>"
    if signature.startswith("a"):
        return f"std::vector<{cpp_type(signature[1:], variant)}>"
    if signature.startswith("("):
        members = split_signature(signature[1:-1])
        return "std::tuple<" + ", ".join(cpp_type(member, variant) for member in members) + ">"
    raise DescriptionError(f"type {signature!r} can't be read into C++")


def read_descriptions(paths):
    """Every method of every interface in the files, in the order of the files."""
    interfaces = {}
    for path in paths:
        root = ET.parse(path).getroot()
        for interface in root.findall("interface"):
            name = interface.get("name")
            if name in interfaces:
                raise DescriptionError(f"{path}: interface {name} is described twice")
            methods = []
            for method in interface.findall("method"):
                inputs, outputs = [], []
                for arg in method.findall("arg"):
                    (outputs if arg.get("direction") == "out" else inputs).append(
                        Argument(arg.get("name"), arg.get("type")))
                annotations = {a.get("name"): a.get("value") for a in method.findall("annotation")}
                found = Method(name, method.get("name"), inputs, outputs, annotations)
                identifier(found.name, f"{path}: method")
                for arg in inputs + outputs:
                    identifier(arg.name, f"{path}: {found.name}: argument")
                    if len(split_signature(arg.signature)) != 1:
                        raise DescriptionError(f"{path}: {found.name}: {arg.name} is not one complete type")
                if any(other.name == found.name for other in methods):
                    raise DescriptionError(f"{path}: {name}.{found.name} is described twice")
                methods.append(found)
            interfaces[name] = (methods, interface)
    return interfaces


def namespace_of(interface):
    return identifier(interface.rsplit(".", 1)[-1].lower(), "interface")


def parameters(method, first, variant=BASIC_TYPES["v"]):
    return ", ".join([first] + [f"{cpp_type(arg.signature, variant)} {identifier(arg.name, 'argument')}"
                                for arg in method.inputs])


def read_arguments(method, reader, variant=BASIC_TYPES["v"]):
    """Reads the in-arguments into locals: the order of a call's arguments is fixed, the order in
    which C++ evaluates function arguments is not."""
    lines = []
    for arg in method.inputs:
        name = identifier(arg.name, "argument")
        lines.append(f"    {cpp_type(arg.signature, variant)} {name} = {reader(arg.signature)};\n")
    return "".join(lines)


def moved_arguments(method):
    return "".join(f", std::move({identifier(arg.name, 'argument')})" for arg in method.inputs)


def escape(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;").replace('"', "&quot;")


def introspection(interfaces):
    """The <interface> elements of the introspection data, arguments and annotations in the order
    of the descriptions."""
    xml = []
    for name, (_, element) in interfaces.items():
        xml.append(f'  <interface name="{escape(name)}">\n')
        for method in element.findall("method"):
            xml.append(f'    <method name="{escape(method.get("name"))}">\n')
            for child in method:
                if child.tag == "arg":
                    direction = "out" if child.get("direction") == "out" else "in"
                    xml.append(f'      <arg name="{escape(child.get("name"))}" type="{escape(child.get("type"))}"'
                               f' direction="{direction}"/>\n')
                elif child.tag == "annotation":
                    xml.append(f'      <annotation name="{escape(child.get("name"))}"'
                               f' value="{escape(child.get("value"))}"/>\n')
            xml.append("    </method>\n")
        xml.append("  </interface>\n")
    return "".join(xml)


def cpp_string(text):
    """A C++ string literal of `text`, one source line per line of text."""
    lines = text.splitlines(keepends=True)
    return "\n".join('    "' + line.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n") + '"'
                     for line in lines) or '""'


def write_if_changed(path, text):
    path = Path(path)
    if path.exists() and path.read_text() == text:
        return
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(text)


def calls(interface, stem, paths):
    interfaces = read_descriptions(paths)
    if interface not in interfaces:
        raise DescriptionError(f"no description of {interface}")
    methods = interfaces[interface][0]
    space = namespace_of(interface)
    for method in methods:
        for arg in method.inputs:
            if arg.signature not in CALL_TYPES:
                raise DescriptionError(f"{method.name}: a replayed script can't give an argument of type {arg.signature}")
        if method.out_signature not in CALL_RESULTS:
            raise DescriptionError(f"{method.name}: a call result of type {method.out_signature!r}")
    include = Path(stem).parent.name + "/" + Path(stem).name + ".h"

    header = ["#pragma once\n", HEADER_NOTE, "\n",
              '#include "ops/CallArguments.h"\n\n#include <array>\n#include <string>\n\n',
              "namespace tarsion {\n\nclass CBoardOperations;\n\n",
              f"// The adaptors of {interface}, written by hand: each converts its arguments and\n",
              "// returns the call of the operation layer.\n",
              f"namespace {space} {{\n"]
    for method in methods:
        header.append(f"CallWork {method.name}({parameters(method, 'CBoardOperations& ops')});\n")
    header.append(f"}} // namespace {space}\n\n")
    header.append(f"// Binders: read a call's arguments in order and hand them to the adaptor.\nnamespace {space}_binders {{\n")
    for method in methods:
        header.append(f"CallWork {method.name}(CCallArguments& in, CBoardOperations& ops);\n")
    header.append(f"}} // namespace {space}_binders\n\n")
    header.append(f"// The methods of {interface}, in dispatch order.\n")
    header.append(f"inline constexpr std::array<CallMethod, {len(methods)}> k{space.capitalize()}Calls = {{{{\n")
    for method in methods:
        header.append(f'    {{"{method.name}", {len(method.inputs)}, {str(method.flag(WRITES_FILES)).lower()}, '
                      f"&{space}_binders::{method.name}}},\n")
    header.append("}};\n\n} // namespace tarsion\n")

    source = [HEADER_NOTE, f'#include "{include}"\n\n#include <utility>\n\n',
              f"namespace tarsion::{space}_binders {{\n"]
    for method in methods:
        source.append(f"\nCallWork {method.name}(CCallArguments& in, CBoardOperations& ops) {{\n")
        source.append(read_arguments(method, lambda sig: f"in.{CALL_READS[sig]}()"))
        if not method.inputs:
            source.append("    (void)in;\n")
        source.append(f"    return {space}::{method.name}(ops{moved_arguments(method)});\n}}\n")
    source.append(f"\n}} // namespace tarsion::{space}_binders\n")
    write_if_changed(stem + ".h", "".join(header))
    write_if_changed(stem + ".cpp", "".join(source))


# What the abstract argument source reads for each type a replayed script can give.
CALL_READS = {"v": "Number", "n": "Short", "i": "Int", "d": "Double", "b": "Bool", "s": "String"}


def dispatch(calls_interface, calls_header, stem, paths):
    interfaces = read_descriptions(paths)
    if calls_interface not in interfaces:
        raise DescriptionError(f"no description of {calls_interface}")
    include = Path(stem).parent.name + "/" + Path(stem).name + ".h"
    calls_space = namespace_of(calls_interface)

    header = ["#pragma once\n", HEADER_NOTE, "\n",
              '#include "automation/AutomationMethods.h"\n#include "automation/BusOptions.h"\n\n',
              "#include <cstdint>\n#include <span>\n#include <string>\n#include <tuple>\n#include <utility>\n"
              "#include <vector>\n\n",
              "namespace tarsion {\n\n"]
    for name, (methods, _) in interfaces.items():
        if name == calls_interface:
            continue
        space = namespace_of(name)
        header.append(f"// The adaptors of {name}, written by hand: each converts its arguments and returns\n"
                      "// the work of the call.\n")
        header.append(f"namespace {space} {{\n")
        for method in methods:
            header.append(f"AutomationWork {method.name}"
                          f"({parameters(method, 'AutomationTarget& target', VERSIONED_VARIANT)});\n")
        header.append(f"}} // namespace {space}\n\n")
    header.append("// Every method served on the object, interface by interface in the order of the descriptions.\n"
                  "std::span<const AutomationMethod> ObjectMethods();\n\n"
                  "// The <interface> elements of the object's introspection data.\n"
                  "extern const char* const kObjectInterfaces;\n\n"
                  "} // namespace tarsion\n")

    source = [HEADER_NOTE, f'#include "{include}"\n\n',
              f'#include "automation/BusArguments.h"\n#include "{calls_header}"\n\n#include <array>\n\n',
              "namespace tarsion {\n\nnamespace {\n"]
    table = []
    for name, (methods, _) in interfaces.items():
        for index, method in enumerate(methods):
            binder = f"Bind_{namespace_of(name)}_{method.name}"
            source.append(f"\nAutomationWork {binder}(CBusArguments& in, AutomationTarget& target) {{\n")
            if name == calls_interface:
                source.append(f"    return FromCall(k{calls_space.capitalize()}Calls[{index}].bind(in, target.ops));\n}}\n")
            else:
                source.append(read_arguments(method, lambda sig: f"in.Read<{cpp_type(sig, VERSIONED_VARIANT)}>()",
                                             VERSIONED_VARIANT))
                if not method.inputs:
                    source.append("    (void)in;\n")
                source.append(f"    return {namespace_of(name)}::{method.name}(target{moved_arguments(method)});\n}}\n")
            table.append(f'    {{"{name}", "{method.name}", "{method.in_signature}", {binder}, '
                         f"{str(method.flag(ANSWERED_AT_ONCE)).lower()}}},\n")
    source.append(f"\nconst std::array<AutomationMethod, {len(table)}> kMethods = {{{{\n")
    source.extend(table)
    source.append("}};\n\n} // namespace\n\n")
    source.append("std::span<const AutomationMethod> ObjectMethods() {\n    return kMethods;\n}\n\n")
    source.append("const char* const kObjectInterfaces =\n" + cpp_string(introspection(interfaces)) + ";\n\n")
    source.append("} // namespace tarsion\n")
    write_if_changed(stem + ".h", "".join(header))
    write_if_changed(stem + ".cpp", "".join(source))


def main(argv):
    try:
        if len(argv) >= 4 and argv[0] == "calls":
            calls(argv[1], argv[2], argv[3:])
        elif len(argv) >= 5 and argv[0] == "dispatch":
            dispatch(argv[1], argv[2], argv[3], argv[4:])
        else:
            print(__doc__.split("Usage:")[1].strip(), file=sys.stderr)
            return 2
    except (DescriptionError, ET.ParseError) as error:
        print(f"generate-interface-tables.py: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
