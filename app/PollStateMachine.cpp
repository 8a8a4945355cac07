// The polling state machine of the main window: one step per timer tick, at
// most one report written per tick, replies looked for on later ticks.

#include "app/CKeyboardConfigDlg.h"

#include "device/CHidDevice.h"
#include "device/ReportProtocol.h"
#include "settings/KeyboardSettings.h"

#include <QButtonGroup>
#include <QLabel>
#include <QRadioButton>

namespace {

enum PollState : int {
    Dispatch = 0,
    AwaitStatus = 1,
    StartFullRead = 2,
    AwaitThresholds = 3,
    AwaitIdNumber = 4,
    AwaitConfigurationFlags = 5,
    AwaitIdNumberAck = 6,
    AwaitThresholdsAck = 7,
    AwaitConfigurationFlagsAck = 8,
    AwaitStoreAck = 9,
};

} // namespace

void CKeyboardConfigDlg::RequestOptionsReport() {
    if (m_bConfigUnlocked) {
        m_bOptionsPending = true;
        ++m_optionsRequests.requested;
    }
}

void CKeyboardConfigDlg::RequestThresholdsReport() {
    if (m_bConfigUnlocked) {
        m_bThresholdsPending = true;
        ++m_thresholdsRequests.requested;
    }
}

void CKeyboardConfigDlg::RequestIdNumberReport() {
    if (m_bConfigUnlocked) {
        m_bIdNumberPending = true;
        ++m_idNumberRequests.requested;
    }
}

void CKeyboardConfigDlg::ClearUnlessRequestedAgain(bool& pending, const RequestCount& count) {
    if (count.requested == count.sent)
        pending = false;
}

int CKeyboardConfigDlg::GetReport(uint8_t type) {
    const protocol::Payload payload = protocol::EncodeRequest(type);
    if (g_messageLog)
        std::fputs(protocol::GetReportLogLine(payload).c_str(), g_messageLog);
    if (!g_device)
        return 3;
    return g_device->WriteReport(payload.bytes.data(), payload.length);
}

bool CKeyboardConfigDlg::CheckReply(uint16_t limit) {
    if (g_settings.ReplyReceived)
        return true;
    if (++m_nWaitTicks > limit)
        m_nPollState = Dispatch;
    if (!g_settings.DevicePresent) {
        ShowNoDevice();
        m_nPollState = StartFullRead;
    }
    return false;
}

void CKeyboardConfigDlg::ShowNoDevice() {
    QString status = QStringLiteral("No Device");
    if (g_device && g_device->PermissionDenied())
        status +=
            QStringLiteral(" (the keyboard may not be opened: install the udev rule, see README)");
    SetText(1014, status);
    SetText(1101, QStringLiteral("Unknown"));
}

void CKeyboardConfigDlg::CheckRadioButton(int first, int last, int id) {
    // An exclusive group never lets its checked button go: untick with the
    // group made non-exclusive for the moment.
    auto* any = static_cast<QRadioButton*>(Control(first));
    QButtonGroup* group = any->group();
    if (group)
        group->setExclusive(false);
    for (int i = first; i <= last; ++i)
        static_cast<QRadioButton*>(Control(i))->setChecked(i == id);
    if (group)
        group->setExclusive(true);
}

void CKeyboardConfigDlg::OnTimer() {
    if (!g_device || (!g_device->IsReading() && !SimulateTicked())) {
        m_nPollState = StartFullRead;
        m_bThresholdsPending = m_bIdNumberPending = m_bOptionsPending = false;
        m_bStorePending = m_bRereadPending = false;
        if (m_bConfigUnlocked)
            SetConfigurationUnlocked(false);
        ShowNoDevice();
        return;
    }

    int r = 0;
    switch (m_nPollState) {
    case Dispatch:
        DispatchStep();
        break;

    case AwaitStatus:
        g_settings.PullLiveStatus(g_device, g_messageLog);
        if (CheckReply(ReplyTickLimit)) {
            RefreshDisplay();
            m_nPollState = Dispatch;
        }
        break;

    case StartFullRead:
        if (SimulateTicked()) {
            m_nPollState = Dispatch;
        } else if (GetReport(protocol::TypeThresholdsAndTimers) != 0) {
            m_nPollState = Dispatch;
        } else {
            m_nPollState = AwaitThresholds;
            m_nWaitTicks = 0;
        }
        break;

    case AwaitThresholds:
        g_settings.PullFullStatus(g_device, g_messageLog);
        if (CheckReply(ReplyTickLimit)) {
            RefreshDisplay();
            r = GetReport(protocol::TypeIdNumber);
            m_nPollState = r == 0 ? AwaitIdNumber : StartFullRead;
            m_nWaitTicks = 0;
        } else if (m_nPollState == Dispatch) {
            // The first request of a full read went unanswered: start over.
            m_nPollState = StartFullRead;
        }
        break;

    case AwaitIdNumber:
        g_settings.PullFullStatus(g_device, g_messageLog);
        if (CheckReply(ReplyTickLimit)) {
            RefreshDisplay();
            r = GetReport(protocol::TypeConfigurationFlags);
            m_nPollState = r == 0 ? AwaitConfigurationFlags : StartFullRead;
            m_nWaitTicks = 0;
        }
        break;

    case AwaitConfigurationFlags:
        g_settings.PullFullStatus(g_device, g_messageLog);
        if (CheckReply(ReplyTickLimit)) {
            RefreshDisplay();
            CheckRadioButton(1092, 1096, 1092 + g_settings.NumberOfSensors);
            ShowSensorColumns(g_settings.NumberOfSensors);
            m_nPollState = Dispatch;
        }
        break;

    case AwaitIdNumberAck:
    case AwaitThresholdsAck:
    case AwaitConfigurationFlagsAck:
        g_settings.PullLiveStatus(g_device, g_messageLog);
        if (CheckReply(ReplyTickLimit)) {
            if (m_nPollState == AwaitIdNumberAck)
                ClearUnlessRequestedAgain(m_bIdNumberPending, m_idNumberRequests);
            else if (m_nPollState == AwaitThresholdsAck)
                ClearUnlessRequestedAgain(m_bThresholdsPending, m_thresholdsRequests);
            else
                ClearUnlessRequestedAgain(m_bOptionsPending, m_optionsRequests);
            m_nPollState = Dispatch;
        }
        break;

    case AwaitStoreAck:
        g_settings.PullLiveStatus(g_device, g_messageLog);
        if (CheckReply(StoreReplyTickLimit)) {
            m_bStorePending = false;
            m_nPollState = Dispatch;
        }
        break;

    default:
        m_nPollState = StartFullRead;
        break;
    }
}

// State 0: send the most urgent pending report, or ask for the live status.
void CKeyboardConfigDlg::DispatchStep() {
    if (SimulateTicked()) {
        g_settings.SendThresholdsAndTimers(g_device, g_messageLog, true);
        m_bOptionsPending = m_bThresholdsPending = m_bIdNumberPending = false;
        m_bStorePending = m_bRereadPending = false;
        RefreshDisplay();
        return;
    }

    int r = 0;
    if (m_bOptionsPending) {
        r = g_settings.SendConfigurationFlags(g_device, g_messageLog, false);
        m_optionsRequests.sent = m_optionsRequests.requested;
        m_nPollState = AwaitConfigurationFlagsAck;
    } else if (m_bThresholdsPending) {
        r = g_settings.SendThresholdsAndTimers(g_device, g_messageLog, false);
        m_thresholdsRequests.sent = m_thresholdsRequests.requested;
        m_nPollState = AwaitThresholdsAck;
    } else if (m_bIdNumberPending) {
        r = g_settings.SendIdNumber(g_device, g_messageLog, false);
        m_idNumberRequests.sent = m_idNumberRequests.requested;
        m_nPollState = AwaitIdNumberAck;
    } else if (m_bStorePending) {
        r = g_settings.SendStore(g_device, g_messageLog, false);
        m_nPollState = AwaitStoreAck;
    } else if (m_bRereadPending) {
        r = GetReport(protocol::TypeThresholdsAndTimers);
        if (r == 0)
            m_bRereadPending = false;
        m_nPollState = r == 0 ? AwaitThresholds : Dispatch;
    } else {
        r = GetReport(protocol::TypeLiveStatus);
        m_nPollState = AwaitStatus;
    }
    m_nWaitTicks = 0;
    if (r != 0)
        m_nPollState = Dispatch;
}
