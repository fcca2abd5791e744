// The installed D-Bus interface description says what the automation object really offers.

#include "AutomationBench.h"

#include <QFile>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace tarsion {
namespace {

// "interface.Method(in name:type, ...) -> out types" for each method of our interfaces, in order;
// only those of `only` when given.
QStringList Signatures(const QString& xmlText, const QStringList& only = {}) {
    QStringList signatures;
    QXmlStreamReader xml(xmlText);
    QString interface;
    QString method;
    QStringList in;
    QStringList out;
    auto finishMethod = [&] {
        if (!method.isEmpty() && interface.startsWith(QLatin1String("com.tessaric.")) &&
            (only.isEmpty() || only.contains(interface)))
            signatures
                << QStringLiteral("%1.%2(%3) -> %4").arg(interface, method, in.join(u','), out.join(u','));
        method.clear();
        in.clear();
        out.clear();
    };
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        const auto name = xml.name();
        const auto attributes = xml.attributes();
        if (token == QXmlStreamReader::EndElement && name == QLatin1String("method"))
            finishMethod();
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (name == QLatin1String("interface")) {
            interface = attributes.value(QLatin1String("name")).toString();
        } else if (name == QLatin1String("method")) {
            method = attributes.value(QLatin1String("name")).toString();
        } else if (name == QLatin1String("arg") && !method.isEmpty()) {
            const QString type = attributes.value(QLatin1String("type")).toString();
            if (attributes.value(QLatin1String("direction")) == QLatin1String("out"))
                out << type;
            else
                in << attributes.value(QLatin1String("name")).toString() + u':' + type;
        }
    }
    EXPECT_FALSE(xml.hasError()) << qPrintable(xml.errorString());
    return signatures;
}

// Each installed description covers its interfaces exactly, and together they cover the object.
TEST(InterfaceDescription, MatchesTheObjectsIntrospection) {
    struct Description {
        const char* file;
        QStringList interfaces;
        qsizetype methods;
    };
    const Description descriptions[] = {
        {"com.tessaric.Trm90627.xml",
         {QStringLiteral("com.tessaric.Tarsion.Automation"), QStringLiteral("com.tessaric.Trm90627")},
         20},
        {"com.tessaric.Tarsion.Board1.xml", {QStringLiteral("com.tessaric.Tarsion.Board1")}, 10},
        {"com.tessaric.Tarsion.Registers1.xml", {QStringLiteral("com.tessaric.Tarsion.Registers1")}, 6},
    };
    test::AutomationBench bench;
    bench.Serve();
    const QDBusMessage reply = test::CallFromClient(QStringLiteral("Introspect"), {},
                                                    QStringLiteral("org.freedesktop.DBus.Introspectable"));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    const QString introspection = reply.arguments().value(0).toString();

    qsizetype total = 0;
    for (const Description& description : descriptions) {
        const QString path = QStringLiteral(TARSION_INTERFACE_DIR "/") + QLatin1String(description.file);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
        const QStringList described = Signatures(QString::fromUtf8(file.readAll()));
        const QStringList served = Signatures(introspection, description.interfaces);
        EXPECT_EQ(served.size(), description.methods) << qPrintable(served.join(u'\n'));
        EXPECT_EQ(described, served) << description.file;
        total += served.size();
    }
    EXPECT_EQ(Signatures(introspection).size(), total) << "an interface without a description";
}

} // namespace
} // namespace tarsion
