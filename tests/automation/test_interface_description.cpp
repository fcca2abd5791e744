// The installed D-Bus interface descriptions say what the automation object really offers: its
// introspection, its dispatch table and the configuration replay's calls all follow them.

#include "AutomationBench.h"
#include "automation/AutomationMethods.h"
#include "automation/ObjectInterfaces.h"
#include "ops/ScriptReplay.h"

#include <QFile>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace tarsion {
namespace {

const char* const kDescriptionFiles[] = {"com.tessaric.Trm90627.xml", "com.tessaric.Tarsion.Board1.xml",
                                         "com.tessaric.Tarsion.Registers1.xml",
                                         "com.tessaric.Tarsion.Signal1.xml"};

struct DescribedMethod {
    QString interface;
    QString name;
    QStringList in; // "name:type"
    QStringList out;
    QStringList annotations;

    QString InSignature() const {
        QString signature;
        for (const QString& arg : in)
            signature += arg.section(u':', 1);
        return signature;
    }
    QString Text() const {
        return QStringLiteral("%1.%2(%3) -> %4").arg(interface, name, in.join(u','), out.join(u','));
    }
};

// The methods of our interfaces in `xmlText`, in order; only those of `only` when given.
std::vector<DescribedMethod> Methods(const QString& xmlText, const QStringList& only = {}) {
    std::vector<DescribedMethod> methods;
    QXmlStreamReader xml(xmlText);
    QString interface;
    std::optional<DescribedMethod> method;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const auto name = xml.name();
        const auto attributes = xml.attributes();
        const auto attribute = [&attributes](const char* key) {
            return attributes.value(QLatin1String(key)).toString();
        };
        if (token == QXmlStreamReader::EndElement && name == QLatin1String("method") && method) {
            if (method->interface.startsWith(QLatin1String("com.tessaric.")) &&
                (only.isEmpty() || only.contains(method->interface)))
                methods.push_back(*method);
            method.reset();
        }
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (name == QLatin1String("interface"))
            interface = attribute("name");
        else if (name == QLatin1String("method"))
            method = DescribedMethod{interface, attribute("name"), {}, {}, {}};
        else if (name == QLatin1String("annotation") && method)
            method->annotations << attribute("name") + u'=' + attribute("value");
        else if (name == QLatin1String("arg") && method && attribute("direction") == QLatin1String("out"))
            method->out << attribute("type");
        else if (name == QLatin1String("arg") && method)
            method->in << attribute("name") + u':' + attribute("type");
    }
    EXPECT_FALSE(xml.hasError()) << qPrintable(xml.errorString());
    return methods;
}

QString ReadDescription(const char* file) {
    const QString path = QStringLiteral(TARSION_INTERFACE_DIR "/") + QLatin1String(file);
    QFile in(path);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << qPrintable(path);
    return QString::fromUtf8(in.readAll());
}

std::vector<DescribedMethod> AllDescribed() {
    std::vector<DescribedMethod> all;
    for (const char* file : kDescriptionFiles)
        for (DescribedMethod& method : Methods(ReadDescription(file)))
            all.push_back(std::move(method));
    return all;
}

QStringList Texts(const std::vector<DescribedMethod>& methods) {
    QStringList texts;
    for (const DescribedMethod& method : methods)
        texts << method.Text();
    return texts;
}

// Each installed description covers its interfaces exactly, and together they cover the object.
TEST(InterfaceDescription, MatchesTheObjectsIntrospection) {
    struct Description {
        const char* file;
        QStringList interfaces;
        std::size_t methods;
    };
    const Description descriptions[] = {
        {kDescriptionFiles[0],
         {QStringLiteral("com.tessaric.Tarsion.Automation"), QStringLiteral("com.tessaric.Trm90627")},
         20},
        {kDescriptionFiles[1], {QStringLiteral("com.tessaric.Tarsion.Board1")}, 10},
        {kDescriptionFiles[2], {QStringLiteral("com.tessaric.Tarsion.Registers1")}, 6},
        {kDescriptionFiles[3], {QStringLiteral("com.tessaric.Tarsion.Signal1")}, 3},
    };
    test::AutomationBench bench;
    bench.Serve();
    const QDBusMessage reply = test::CallFromClient(QStringLiteral("Introspect"), {},
                                                    QStringLiteral("org.freedesktop.DBus.Introspectable"));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    const QString introspection = reply.arguments().value(0).toString();

    std::size_t total = 0;
    for (const Description& description : descriptions) {
        const QStringList described = Texts(Methods(ReadDescription(description.file)));
        const QStringList served = Texts(Methods(introspection, description.interfaces));
        EXPECT_EQ(static_cast<std::size_t>(served.size()), description.methods)
            << qPrintable(served.join(u'\n'));
        EXPECT_EQ(described, served) << description.file;
        total += static_cast<std::size_t>(served.size());
    }
    EXPECT_EQ(Methods(introspection).size(), total) << "an interface without a description";
}

// A call is dispatched by interface, name and signature: the table holds every described method
// with its signature, in the order of the descriptions, and nothing else. Status alone is answered
// at once.
TEST(InterfaceDescription, TheDispatchTableIsTheDescription) {
    const std::vector<DescribedMethod> described = AllDescribed();
    const std::span<const AutomationMethod> table = ObjectMethods();
    ASSERT_EQ(table.size(), described.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const DescribedMethod& method = described[i];
        const std::string interface = method.interface.toStdString();
        const std::string name = method.name.toStdString();
        EXPECT_EQ(table[i].interface, interface);
        EXPECT_EQ(table[i].name, name);
        EXPECT_EQ(table[i].signature, method.InSignature().toStdString()) << name;
        EXPECT_EQ(FindAutomationMethod(interface.c_str(), name.c_str()), &table[i]) << name;
        EXPECT_EQ(table[i].immediate, name == "Status") << name;
    }
    EXPECT_EQ(FindAutomationMethod(nullptr, "Poke")->interface, std::string("com.tessaric.Trm90627"));
    EXPECT_EQ(FindAutomationMethod("com.tessaric.Tarsion.Board1", "Poke"), nullptr);
    EXPECT_EQ(FindAutomationMethod(nullptr, "poke"), nullptr) << "the bus matches names exactly";
}

// A literal of the kind a configuration passes for an argument of `type`, or one of a wrong kind.
QString Literal(const QString& type, bool wrongKind) {
    if (type == QLatin1String("s"))
        return wrongKind ? QStringLiteral("0") : QStringLiteral("'x.hex '");
    return wrongKind ? QStringLiteral("'1'") : QStringLiteral("0");
}

QString CallLine(const DescribedMethod& method, qsizetype arguments, qsizetype wrongAt = -1) {
    QStringList values;
    for (qsizetype i = 0; i < arguments; ++i)
        values << Literal(method.in.value(i, QStringLiteral("x:v")).section(u':', 1), i == wrongAt);
    return QStringLiteral("Tarsion.%1(%2);").arg(method.name, values.join(u','));
}

// The replay takes each method of the script's interface with the described arguments, in order
// and of their types, and refuses one argument more or less, an argument of another kind at any
// position, and the methods that write files. Every script here is refused, so nothing runs.
TEST(InterfaceDescription, TheReplayTakesTheDescribedArguments) {
    test::AutomationBench bench;
    // Every line below follows the line that makes the script's automation object.
    const auto refusal = [&bench](const QString& script) {
        CScriptReplay replay(*bench.ops);
        const QString whole = QStringLiteral("var Tarsion = WScript.CreateObject(\"Trm90627\");\n") + script;
        EXPECT_FALSE(replay.Run(whole.toStdString())) << qPrintable(script);
        return QString::fromStdString(replay.Error());
    };
    const QString refusedLine = QStringLiteral("\nTarsion.NoSuchMethod();");
    int replayed = 0;
    for (const DescribedMethod& method : AllDescribed()) {
        if (method.interface != QLatin1String("com.tessaric.Trm90627"))
            continue;
        if (method.annotations.contains(QStringLiteral("com.tessaric.Tarsion.WritesFiles=true"))) {
            EXPECT_EQ(refusal(CallLine(method, method.in.size())),
                      "line 2: not a method that changes the board");
            continue;
        }
        ++replayed;
        const QString bad = QStringLiteral("line 2: bad arguments to ") + method.name;
        // The line passes; the next one refuses the script.
        EXPECT_EQ(refusal(CallLine(method, method.in.size()) + refusedLine),
                  "line 3: not a method that changes the board");
        const QString lowerCase =
            CallLine(method, method.in.size()).replace(method.name, method.name.toLower());
        EXPECT_EQ(refusal(lowerCase + refusedLine), "line 3: not a method that changes the board")
            << "names are matched without regard to case";
        EXPECT_EQ(refusal(CallLine(method, method.in.size() + 1)), bad);
        if (!method.in.isEmpty()) {
            EXPECT_EQ(refusal(CallLine(method, method.in.size() - 1)), bad);
        }
        for (qsizetype i = 0; i < method.in.size(); ++i)
            EXPECT_EQ(refusal(CallLine(method, method.in.size(), i)), bad) << qPrintable(method.in[i]);
    }
    EXPECT_EQ(replayed, 17);
    EXPECT_EQ(bench.board->ChipRegister(0x00), 0u);
}

} // namespace
} // namespace tarsion
