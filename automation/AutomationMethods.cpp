#include "automation/AutomationMethods.h"

#include "automation/BoardMethods.h"
#include "automation/CallArguments.h"
#include "automation/RegisterMethods.h"
#include "ops/BoardOperations.h"

#include <array>
#include <cstring>
#include <dbus/dbus.h>
#include <sstream>

namespace tarsion {

namespace {

constexpr const char* kBoard = "com.tessaric.Trm90627";
constexpr const char* kCreation = "com.tessaric.Tarsion.Automation";

using Ops = CBoardOperations;

// The binders below read the arguments into locals first: the order in which a lambda initialises
// its captures is unspecified, the order of the call's arguments is not.

template <bool (Ops::*Operation)()>
AutomationWork NoArguments(CCallArguments&, AutomationTarget& target) {
    return [&ops = target.ops] { return AutomationResult{(ops.*Operation)()}; };
}

// A chip register address and a register word.
template <bool (Ops::*Operation)(std::uint8_t, std::uint32_t)>
AutomationWork AddressAndWord(CCallArguments& in, AutomationTarget& target) {
    const std::uint8_t address = in.Byte();
    const std::uint32_t word = in.Word();
    return [&ops = target.ops, address, word] { return AutomationResult{(ops.*Operation)(address, word)}; };
}

// A byte register and its data.
template <bool (Ops::*Operation)(std::uint8_t, std::uint8_t)>
AutomationWork RegisterAndByte(CCallArguments& in, AutomationTarget& target) {
    const std::uint8_t reg = in.Byte();
    const std::uint8_t data = in.Byte();
    return [&ops = target.ops, reg, data] { return AutomationResult{(ops.*Operation)(reg, data)}; };
}

// A byte register read: its value, or 0 when the read failed.
template <bool (Ops::*Operation)(std::uint8_t, std::uint8_t&)>
AutomationWork ByteRead(CCallArguments& in, AutomationTarget& target) {
    return [&ops = target.ops, reg = static_cast<std::uint8_t>(in.Short())] {
        std::uint8_t value = 0;
        return AutomationResult{static_cast<std::int16_t>((ops.*Operation)(reg, value) ? value : 0)};
    };
}

template <bool (Ops::*Operation)(const std::string&)>
AutomationWork FileName(CCallArguments& in, AutomationTarget& target) {
    return [&ops = target.ops, file = in.Path()] { return AutomationResult{(ops.*Operation)(file)}; };
}

// The creation request, then the 19 board methods in their dispatch order.
const std::array<AutomationMethod, 20> kMethods = {{
    {kCreation, "Create", "", "", "",
     [](CCallArguments&, AutomationTarget& target) -> AutomationWork {
         return [&target] {
             target.newDocument();
             return AutomationResult{};
         };
     }},
    {kBoard, "SoftReset", "", "", "b", NoArguments<&Ops::SoftReset>},
    {kBoard, "Reset", "", "", "b", NoArguments<&Ops::Reset>},
    {kBoard, "Poke", "vv", "address data", "b", AddressAndWord<&Ops::Poke>},
    {kBoard, "ModifyBits", "vvv", "address data mask", "b",
     [](CCallArguments& in, AutomationTarget& target) -> AutomationWork {
         const std::uint8_t address = in.Byte();
         const std::uint32_t data = in.Word();
         const std::uint32_t mask = in.Word();
         return [&ops = target.ops, address, data, mask] {
             return AutomationResult{ops.ModifyBits(address, data, mask)};
         };
     }},
    {kBoard, "SetBits", "vv", "address mask", "b", AddressAndWord<&Ops::SetBits>},
    {kBoard, "ResetBits", "vv", "address mask", "b", AddressAndWord<&Ops::ResetBits>},
    {kBoard, "Send", "", "", "b", NoArguments<&Ops::Send>},
    {kBoard, "Stop", "", "", "b", NoArguments<&Ops::Stop>},
    {kBoard, "Write", "vv", "address data", "b", RegisterAndByte<&Ops::Write>},
    {kBoard, "PldWrite", "vv", "address data", "b", RegisterAndByte<&Ops::PldWrite>},
    {kBoard, "LoadExternalMemory", "s", "file", "b", FileName<&Ops::LoadExternalMemory>},
    {kBoard, "LoadExternalMem", "iidddd", "iKind qKind iAmplitude qAmplitude samplesPerCycle numberOfSamples",
     "b",
     [](CCallArguments& in, AutomationTarget& target) -> AutomationWork {
         const int iKind = in.Int();
         const int qKind = in.Int();
         const double iAmplitude = in.Double();
         const double qAmplitude = in.Double();
         const double samplesPerCycle = in.Double();
         const double numberOfSamples = in.Double();
         return [&ops = target.ops, iKind, qKind, iAmplitude, qAmplitude, samplesPerCycle, numberOfSamples] {
             return AutomationResult{
                 ops.LoadExternalMem(iKind, qKind, iAmplitude, qAmplitude, samplesPerCycle, numberOfSamples)};
         };
     }},
    {kBoard, "DumpCoefficientRam", "ns", "ram file", "b",
     [](CCallArguments& in, AutomationTarget& target) -> AutomationWork {
         const short ram = in.Short();
         return [&ops = target.ops, ram, file = in.Path()] {
             return AutomationResult{ops.DumpCoefficientRam(ram, file)};
         };
     }},
    {kBoard, "LoadConstellationRam", "s", "file", "b", FileName<&Ops::LoadConstellationRam>},
    {kBoard, "DumpConstellationRam", "s", "file", "b", FileName<&Ops::DumpConstellationRam>},
    {kBoard, "LoadCoefficientRam", "nsbdbnbb",
     "ram file bestFit scale loadOffset interpolation twoBitMode symmetric", "b",
     [](CCallArguments& in, AutomationTarget& target) -> AutomationWork {
         const short ram = in.Short();
         std::string file = in.Path();
         const bool bestFit = in.Bool();
         const double scale = in.Double();
         const bool loadOffset = in.Bool();
         const short interpolation = in.Short();
         const bool twoBitMode = in.Bool();
         const bool symmetric = in.Bool();
         return [&ops = target.ops, ram, file = std::move(file), bestFit, scale, loadOffset, interpolation,
                 twoBitMode, symmetric] {
             return AutomationResult{ops.LoadCoefficientRam(ram, file, bestFit, scale, loadOffset,
                                                            interpolation, twoBitMode, symmetric)};
         };
     }},
    {kBoard, "PldRead", "n", "address", "n", ByteRead<&Ops::PldRead>},
    {kBoard, "Read", "n", "address", "n", ByteRead<&Ops::Read>},
    {kBoard, "Peek", "n", "address", "d",
     [](CCallArguments& in, AutomationTarget& target) -> AutomationWork {
         return [&ops = target.ops, address = static_cast<std::uint8_t>(in.Short())] {
             std::uint32_t value = 0;
             return AutomationResult{ops.Peek(address, value) ? static_cast<double>(value) : 0.0};
         };
     }},
}};

constexpr const char* kDocType =
    "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
    "\"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n";

// The standard interfaces libdbus answers on every object.
constexpr const char* kStandardInterfaces = R"(  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect">
      <arg name="xml_data" type="s" direction="out"/>
    </method>
  </interface>
  <interface name="org.freedesktop.DBus.Peer">
    <method name="Ping">
    </method>
    <method name="GetMachineId">
      <arg name="machine_uuid" type="s" direction="out"/>
    </method>
  </interface>
)";

// Every method table served on the object, the original interface first.
std::array<std::span<const AutomationMethod>, 3> Tables() {
    return {std::span<const AutomationMethod>(kMethods), BoardInterfaceMethods(), RegisterInterfaceMethods()};
}

// One <arg> per complete type of `signature`, named in turn by the blank-separated `names`.
void DescribeArguments(std::ostringstream& xml, const char* signature, const char* names,
                       const char* direction) {
    if (!*signature)
        return;
    std::istringstream nameList(names);
    std::string name;
    DBusSignatureIter type;
    dbus_signature_iter_init(&type, signature);
    do {
        nameList >> name;
        char* single = dbus_signature_iter_get_signature(&type);
        xml << "      <arg name=\"" << name << "\" type=\"" << single << "\" direction=\"" << direction
            << "\"/>\n";
        dbus_free(single);
    } while (dbus_signature_iter_next(&type));
}

std::string Describe() {
    std::ostringstream xml;
    xml << kDocType << "<node>\n";
    const char* open = nullptr;
    for (std::span<const AutomationMethod> table : Tables())
        for (const AutomationMethod& method : table) {
            if (!open || std::strcmp(open, method.interface) != 0) {
                if (open)
                    xml << "  </interface>\n";
                open = method.interface;
                xml << "  <interface name=\"" << open << "\">\n";
            }
            xml << "    <method name=\"" << method.name << "\">\n";
            if (method.resultNames)
                DescribeArguments(xml, method.result, method.resultNames, "out");
            else if (*method.result)
                xml << "      <arg name=\"" << (std::strcmp(method.result, "b") == 0 ? "success" : "value")
                    << "\" type=\"" << method.result << "\" direction=\"out\"/>\n";
            DescribeArguments(xml, method.signature, method.argumentNames, "in");
            xml << "    </method>\n";
        }
    xml << "  </interface>\n" << kStandardInterfaces << "</node>\n";
    return xml.str();
}

} // namespace

const AutomationMethod* FindAutomationMethod(const char* interface, const char* name) {
    for (std::span<const AutomationMethod> table : Tables())
        for (const AutomationMethod& method : table)
            if (std::strcmp(method.name, name) == 0 &&
                (!interface || std::strcmp(method.interface, interface) == 0))
                return &method;
    return nullptr;
}

bool IsAutomationInterface(const char* interface) {
    for (std::span<const AutomationMethod> table : Tables())
        for (const AutomationMethod& method : table)
            if (std::strcmp(method.interface, interface) == 0)
                return true;
    return false;
}

AutomationWork BindAutomationCall(const AutomationMethod& method, DBusMessage* call,
                                  AutomationTarget& target) {
    CCallArguments arguments(call);
    return method.bind(arguments, target);
}

void AppendAutomationResult(DBusMessage* reply, const AutomationResult& result) {
    if (const bool* success = std::get_if<bool>(&result)) {
        const dbus_bool_t value = *success;
        dbus_message_append_args(reply, DBUS_TYPE_BOOLEAN, &value, DBUS_TYPE_INVALID);
    } else if (const std::int16_t* word = std::get_if<std::int16_t>(&result)) {
        const dbus_int16_t value = *word;
        dbus_message_append_args(reply, DBUS_TYPE_INT16, &value, DBUS_TYPE_INVALID);
    } else if (const double* number = std::get_if<double>(&result)) {
        dbus_message_append_args(reply, DBUS_TYPE_DOUBLE, number, DBUS_TYPE_INVALID);
    } else if (const AutomationReply* own = std::get_if<AutomationReply>(&result); own && own->append) {
        own->append(reply);
    }
}

const std::string& AutomationIntrospection() {
    static const std::string xml = Describe();
    return xml;
}

const std::string& RootIntrospection() {
    static const std::string xml =
        std::string(kDocType) + "<node>\n" + kStandardInterfaces + "  <node name=\"Trm90627\"/>\n</node>\n";
    return xml;
}

} // namespace tarsion
