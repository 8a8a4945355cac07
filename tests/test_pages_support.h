#pragma once

// Shared set-up for the page tests: a fresh record, a recorder of the
// reports the page asks for, and the page shown on its own so its sliders
// paint.

#include "core/ReportRequests.h"
#include "settings/KeyboardSettings.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <string>

// Marks a report only while "unlocked", as the polling machine does.
struct RecordingRequests : ReportRequests {
    bool unlocked = false;
    bool thresholds = false, options = false, idNumber = false;
    void RequestOptionsReport() override { options = options || unlocked; }
    void RequestThresholdsReport() override { thresholds = thresholds || unlocked; }
    void RequestIdNumberReport() override { idNumber = idNumber || unlocked; }
};

template <typename Page> class PageFixture : public ::testing::Test {
protected:
    void SetUpPage(bool testMode) {
        m_page = std::make_unique<Page>();
        m_page->SetRequests(&m_requests);
        if constexpr (requires { m_page->SetTestMode(testMode); })
            m_page->SetTestMode(testMode);
        m_page->show();
        // Activation and losing the focus repaint the sliders; let that
        // happen now, then start from a clean record.
        m_page->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_page.get()));
        if (QWidget* focus = QApplication::focusWidget())
            focus->clearFocus();
        QTest::qWait(10);
        g_settings = KeyboardSettings{};
        ClearPending();
    }

    void Unlock(bool unlocked) { m_requests.unlocked = unlocked; }
    void ClearPending() { m_requests.thresholds = m_requests.options = m_requests.idNumber = false; }
    // The reports asked for: T thresholds and timers, O flags, I ID number.
    std::string Pending() const {
        return std::string(m_requests.thresholds ? "T" : "") + (m_requests.options ? "O" : "") +
               (m_requests.idNumber ? "I" : "");
    }

    QSlider* Slider(int id) const { return qobject_cast<QSlider*>(m_page->Control(id)); }
    std::string Text(int id) const {
        return qobject_cast<QLabel*>(m_page->Control(id))->text().toStdString();
    }
    QAbstractButton* Button(int id) const {
        return qobject_cast<QAbstractButton*>(m_page->Control(id));
    }
    void Click(int id) { QTest::mouseClick(Button(id), Qt::LeftButton); }

    RecordingRequests m_requests; // destroyed after the page
    std::unique_ptr<Page> m_page;
};
