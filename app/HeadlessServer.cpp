#include "app/HeadlessServer.h"

#include "app/ProgramOptions.h"
#include "app/StreamLogView.h"
#include "automation/AutomationServer.h"
#include "ops/TarsionDoc.h"

#include <QCoreApplication>

#include <iostream>

namespace tarsion {

HeadlessServices HeadlessServices::Standard() {
    HeadlessServices services;
    services.connectSessionBus = ConnectSessionBus;
    services.bindPort = BindNamedPort;
    services.startAutomation = StartAutomation;
    services.out = &std::cout;
    services.err = &std::cerr;
    return services;
}

CHeadlessServer::CHeadlessServer(HeadlessServices services)
    : services_(std::move(services)), prompt_(*services_.err),
      core_(services_.connectSessionBus, services_.bindPort, prompt_) {}

CHeadlessServer::~CHeadlessServer() {
    // Automation calls reach the operation layer: it stops serving first.
    automation_.reset();
    log_.reset();
}

bool CHeadlessServer::StartUp(const QStringList& arguments) {
    if (!core_.Open(arguments))
        return false;
    // A station's logs say which board each one is of.
    *services_.out << ProgramVersion() << ", board " << core_.Doc().boardId << " (" << core_.Doc().portName
                   << ")" << std::endl;
    log_ = std::make_unique<CStreamLogView>(core_.Doc(), *services_.out);
    // The board is read before the bus is served: a program that ends because its board does not
    // answer has taken no name yet, so an activated one can still answer its callers why.
    // A failed read enters demo mode at once: false means the board did not answer.
    if (!core_.StartDocument([] { return ReadOutChoice::EnterDemoMode; })) {
        if (!core_.Options().demo) {
            core_.Fail(QString::fromLatin1(kReadOutFailedText) +
                           QStringLiteral("\n(--demo enters demo mode instead)"),
                       kBoardSilentExitCode, core_.NoBoardCause());
            return false;
        }
        *services_.err << "tarsion: the board did not answer the initial read-out; demo mode" << std::endl;
    }
    if (services_.startAutomation)
        automation_ = services_.startAutomation(core_.Ops(), [this] { core_.Doc().UpdateAllViews(); });
    if (!automation_) {
        core_.Fail(
            QStringLiteral("the automation object can't be served, so the headless server has nothing to do"),
            kNoAutomationExitCode);
        return false;
    }
    // Nobody can reach a server whose bus is gone: it ends as File > Exit does and frees the board.
    automation_->OnBusLost([this] {
        *services_.err << "tarsion: the session bus is gone; ending" << std::endl;
        QCoreApplication::quit();
    });
    core_.Doc().UpdateAllViews();
    return true;
}

void CHeadlessServer::ShutDown() {
    automation_.reset();
    core_.ShutDown();
}

} // namespace tarsion
