// The installed D-Bus interface description says what the automation object really offers.

#include "AutomationBench.h"

#include <QFile>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace tarsion {
namespace {

// "interface.Method(in name:type, ...) -> out types" for each method of our interfaces, in order.
QStringList Signatures(const QString& xmlText) {
    QStringList signatures;
    QXmlStreamReader xml(xmlText);
    QString interface;
    QString method;
    QStringList in;
    QStringList out;
    auto finishMethod = [&] {
        if (!method.isEmpty() && interface.startsWith(QLatin1String("com.tessaric.")))
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

TEST(InterfaceDescription, MatchesTheObjectsIntrospection) {
    QStringList described;
    for (const char* path : {TARSION_INTERFACE_XML, TARSION_REGISTERS_XML}) {
        QFile file(QString::fromUtf8(path));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path;
        described << Signatures(QString::fromUtf8(file.readAll()));
    }

    test::AutomationBench bench;
    bench.Serve();
    const QDBusMessage reply = test::CallFromClient(QStringLiteral("Introspect"), {},
                                                    QStringLiteral("org.freedesktop.DBus.Introspectable"));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << qPrintable(reply.errorMessage());
    const QStringList served = Signatures(reply.arguments().value(0).toString());

    ASSERT_EQ(served.size(), 26) << qPrintable(served.join(u'\n'));
    EXPECT_EQ(described, served);
}

} // namespace
} // namespace tarsion
