#include "Trm90627Adaptor.h"

#include "AutomationCallGate.h"
#include "AutomationNumber.h"
#include "ops/BoardOperations.h"

#include <cstdint>

namespace tarsion {

namespace {

// Recorded and saved scripts quote file names with a trailing blank.
std::string LocalPath(const QString& file) {
    qsizetype end = file.size();
    while (end > 0 && file.at(end - 1) == QLatin1Char(' '))
        --end;
    return file.left(end).toStdString();
}

} // namespace

CTrm90627Adaptor::CTrm90627Adaptor(QObject* object, CBoardOperations& ops, CAutomationCallGate& gate)
    : QDBusAbstractAdaptor(object), ops_(ops), gate_(gate) {}

bool CTrm90627Adaptor::SoftReset(const QDBusMessage& call) {
    if (gate_.RefuseArguments(call))
        return false;
    return gate_.Serve<bool>(call, [this] { return ops_.SoftReset(); });
}

bool CTrm90627Adaptor::Reset(const QDBusMessage& call) {
    if (gate_.RefuseArguments(call))
        return false;
    return gate_.Serve<bool>(call, [this] { return ops_.Reset(); });
}

bool CTrm90627Adaptor::Poke(const QDBusVariant& address, const QDBusVariant& data, const QDBusMessage& call) {
    return gate_.Serve<bool>(
        call, [this, a = AutomationByte(address), d = AutomationWord(data)] { return ops_.Poke(a, d); });
}

bool CTrm90627Adaptor::ModifyBits(const QDBusVariant& address, const QDBusVariant& data,
                                  const QDBusVariant& mask, const QDBusMessage& call) {
    return gate_.Serve<bool>(call, [this, a = AutomationByte(address), d = AutomationWord(data),
                                    m = AutomationWord(mask)] { return ops_.ModifyBits(a, d, m); });
}

bool CTrm90627Adaptor::SetBits(const QDBusVariant& address, const QDBusVariant& mask,
                               const QDBusMessage& call) {
    return gate_.Serve<bool>(
        call, [this, a = AutomationByte(address), m = AutomationWord(mask)] { return ops_.SetBits(a, m); });
}

bool CTrm90627Adaptor::ResetBits(const QDBusVariant& address, const QDBusVariant& mask,
                                 const QDBusMessage& call) {
    return gate_.Serve<bool>(
        call, [this, a = AutomationByte(address), m = AutomationWord(mask)] { return ops_.ResetBits(a, m); });
}

bool CTrm90627Adaptor::Send(const QDBusMessage& call) {
    if (gate_.RefuseArguments(call))
        return false;
    return gate_.Serve<bool>(call, [this] { return ops_.Send(); });
}

bool CTrm90627Adaptor::Stop(const QDBusMessage& call) {
    if (gate_.RefuseArguments(call))
        return false;
    return gate_.Serve<bool>(call, [this] { return ops_.Stop(); });
}

bool CTrm90627Adaptor::Write(const QDBusVariant& address, const QDBusVariant& data,
                             const QDBusMessage& call) {
    return gate_.Serve<bool>(
        call, [this, a = AutomationByte(address), d = AutomationByte(data)] { return ops_.Write(a, d); });
}

bool CTrm90627Adaptor::PldWrite(const QDBusVariant& address, const QDBusVariant& data,
                                const QDBusMessage& call) {
    return gate_.Serve<bool>(
        call, [this, a = AutomationByte(address), d = AutomationByte(data)] { return ops_.PldWrite(a, d); });
}

bool CTrm90627Adaptor::LoadExternalMemory(const QString& file, const QDBusMessage& call) {
    return gate_.Serve<bool>(call, [this, f = LocalPath(file)] { return ops_.LoadExternalMemory(f); });
}

bool CTrm90627Adaptor::LoadExternalMem(int iKind, int qKind, double iAmplitude, double qAmplitude,
                                       double samplesPerCycle, double numberOfSamples,
                                       const QDBusMessage& call) {
    return gate_.Serve<bool>(call, [=, this] {
        return ops_.LoadExternalMem(iKind, qKind, iAmplitude, qAmplitude, samplesPerCycle, numberOfSamples);
    });
}

bool CTrm90627Adaptor::DumpCoefficientRam(short ram, const QString& file, const QDBusMessage& call) {
    return gate_.Serve<bool>(call,
                             [this, ram, f = LocalPath(file)] { return ops_.DumpCoefficientRam(ram, f); });
}

bool CTrm90627Adaptor::LoadConstellationRam(const QString& file, const QDBusMessage& call) {
    return gate_.Serve<bool>(call, [this, f = LocalPath(file)] { return ops_.LoadConstellationRam(f); });
}

bool CTrm90627Adaptor::DumpConstellationRam(const QString& file, const QDBusMessage& call) {
    return gate_.Serve<bool>(call, [this, f = LocalPath(file)] { return ops_.DumpConstellationRam(f); });
}

bool CTrm90627Adaptor::LoadCoefficientRam(short ram, const QString& file, bool bestFit, double scale,
                                          bool loadOffset, short interpolation, bool twoBitMode,
                                          bool symmetric, const QDBusMessage& call) {
    return gate_.Serve<bool>(call, [=, this, f = LocalPath(file)] {
        return ops_.LoadCoefficientRam(ram, f, bestFit, scale, loadOffset, interpolation, twoBitMode,
                                       symmetric);
    });
}

short CTrm90627Adaptor::PldRead(short address, const QDBusMessage& call) {
    return gate_.Serve<short>(call, [this, address] {
        std::uint8_t value = 0;
        return static_cast<short>(ops_.PldRead(static_cast<std::uint8_t>(address), value) ? value : 0);
    });
}

short CTrm90627Adaptor::Read(short address, const QDBusMessage& call) {
    return gate_.Serve<short>(call, [this, address] {
        std::uint8_t value = 0;
        return static_cast<short>(ops_.Read(static_cast<std::uint8_t>(address), value) ? value : 0);
    });
}

double CTrm90627Adaptor::Peek(short address, const QDBusMessage& call) {
    return gate_.Serve<double>(call, [this, address] {
        std::uint32_t value = 0;
        return ops_.Peek(static_cast<std::uint8_t>(address), value) ? static_cast<double>(value) : 0.0;
    });
}

CAutomationCreateAdaptor::CAutomationCreateAdaptor(QObject* object, std::function<void()> newDocument,
                                                   CAutomationCallGate& gate)
    : QDBusAbstractAdaptor(object), newDocument_(std::move(newDocument)), gate_(gate) {}

void CAutomationCreateAdaptor::Create(const QDBusMessage& call) {
    if (gate_.RefuseArguments(call))
        return;
    gate_.Serve<void>(call, [this] { newDocument_(); });
}

} // namespace tarsion
