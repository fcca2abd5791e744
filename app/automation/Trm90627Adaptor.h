#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QString>

namespace tarsion {

class CAutomationCallGate;
class CBoardOperations;

// The automation object's 19 methods, in dispatch order: each converts its arguments and calls
// the operation of the same name. Failures are results (false, 0, 0.0), never bus errors.
class CTrm90627Adaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tessaric.Trm90627")
public:
    CTrm90627Adaptor(QObject* object, CBoardOperations& ops, CAutomationCallGate& gate);

public Q_SLOTS:
    bool SoftReset(const QDBusMessage& call);
    bool Reset(const QDBusMessage& call);
    bool Poke(const QDBusVariant& address, const QDBusVariant& data, const QDBusMessage& call);
    bool ModifyBits(const QDBusVariant& address, const QDBusVariant& data, const QDBusVariant& mask,
                    const QDBusMessage& call);
    bool SetBits(const QDBusVariant& address, const QDBusVariant& mask, const QDBusMessage& call);
    bool ResetBits(const QDBusVariant& address, const QDBusVariant& mask, const QDBusMessage& call);
    bool Send(const QDBusMessage& call);
    bool Stop(const QDBusMessage& call);
    bool Write(const QDBusVariant& address, const QDBusVariant& data, const QDBusMessage& call);
    bool PldWrite(const QDBusVariant& address, const QDBusVariant& data, const QDBusMessage& call);
    bool LoadExternalMemory(const QString& file, const QDBusMessage& call);
    bool LoadExternalMem(int iKind, int qKind, double iAmplitude, double qAmplitude, double samplesPerCycle,
                         double numberOfSamples, const QDBusMessage& call);
    bool DumpCoefficientRam(short ram, const QString& file, const QDBusMessage& call);
    bool LoadConstellationRam(const QString& file, const QDBusMessage& call);
    bool DumpConstellationRam(const QString& file, const QDBusMessage& call);
    bool LoadCoefficientRam(short ram, const QString& file, bool bestFit, double scale, bool loadOffset,
                            short interpolation, bool twoBitMode, bool symmetric, const QDBusMessage& call);
    short PldRead(short address, const QDBusMessage& call);
    short Read(short address, const QDBusMessage& call);
    double Peek(short address, const QDBusMessage& call);

private:
    CBoardOperations& ops_;
    CAutomationCallGate& gate_;
};

// The creation request: the new-document step and the views' initial update, as a script's
// CreateObject performs it.
class CAutomationCreateAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tessaric.Tarsion.Automation")
public:
    CAutomationCreateAdaptor(QObject* object, std::function<void()> newDocument, CAutomationCallGate& gate);

public Q_SLOTS:
    void Create(const QDBusMessage& call);

private:
    std::function<void()> newDocument_;
    CAutomationCallGate& gate_;
};

} // namespace tarsion
