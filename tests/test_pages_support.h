#pragma once

// Shared set-up for the page tests: the page inside the real main window,
// shown so that its sliders paint, with a fresh record and no keyboard. In
// test mode Simulate is ticked: the configuration unlocks, and a tick drops
// the reports asked for without sending them.

#include "pages/CPropSheet.h"
#include "test_app_harness.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QSlider>

#include <memory>
#include <string>

template <typename Page> class PageFixture : public ::testing::Test {
protected:
    void SetUpPage(Page CPropSheet::*page, bool testMode) {
        m_app = std::make_unique<AppHarness>(
            AppHarness::Setup{.testMode = testMode, .pluggedIn = false});
        m_app->Button(1088)->setChecked(testMode); // Simulate
        m_page = &(m_app->Dlg().m_pPropSheet->*page);
        m_app->Dlg().m_pPropSheet->setCurrentWidget(m_page);
        m_app->Dlg().show();
        // Activation and losing the focus repaint the sliders; let that
        // happen now, then start from a clean record.
        QApplication::setActiveWindow(&m_app->Dlg());
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_app->Dlg()));
        if (QWidget* focus = QApplication::focusWidget())
            focus->clearFocus();
        QTest::qWait(10);
        g_settings = KeyboardSettings{};
        ClearPending();
    }

    void Unlock(bool unlocked) { m_app->Dlg().SetConfigurationUnlocked(unlocked); }
    void ClearPending() { m_app->Tick(); }
    // The reports asked for: T thresholds and timers, O flags, I ID number.
    std::string Pending() const {
        const PollingMachine::Pending& p = m_app->Core().PendingReports();
        return std::string(p.thresholds ? "T" : "") + (p.options ? "O" : "") +
               (p.idNumber ? "I" : "");
    }

    QSlider* Slider(int id) const { return qobject_cast<QSlider*>(m_page->Control(id)); }
    std::string Text(int id) const {
        return qobject_cast<QLabel*>(m_page->Control(id))->text().toStdString();
    }
    QAbstractButton* Button(int id) const {
        return qobject_cast<QAbstractButton*>(m_page->Control(id));
    }
    void Click(int id) { QTest::mouseClick(Button(id), Qt::LeftButton); }

    std::unique_ptr<AppHarness> m_app;
    Page* m_page = nullptr;
};
