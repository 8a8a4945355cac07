#pragma once

// Shared set-up for the page tests: a fresh record, a main window for the
// pages to call back into, and the page shown on its own so its sliders paint.

#include "app/CKeyboardConfigDlg.h"
#include "emulator/EmulatorBus.h"
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

template <typename Page> class PageFixture : public ::testing::Test {
protected:
    void SetUpPage(bool testMode) {
        // A quiet built-in keyboard and no timer: nothing consumes the
        // pending marks the tests look at.
        EmulatorBus::Options options;
        options.autonomous = false;
        m_main = std::make_unique<CKeyboardConfigDlg>(testMode, m_dir.path() + "/",
                                                      std::make_shared<EmulatorBus>(options));
        m_main->SetTimerRunning(false);
        m_page = std::make_unique<Page>();
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

    void Unlock(bool unlocked) { m_main->m_bConfigUnlocked = unlocked; }
    void ClearPending() {
        m_main->m_bThresholdsPending = m_main->m_bOptionsPending = false;
        m_main->m_bIdNumberPending = false;
    }
    // The reports asked for: T thresholds and timers, O flags, I ID number.
    std::string Pending() const {
        return std::string(m_main->m_bThresholdsPending ? "T" : "") +
               (m_main->m_bOptionsPending ? "O" : "") + (m_main->m_bIdNumberPending ? "I" : "");
    }

    QSlider* Slider(int id) const { return qobject_cast<QSlider*>(m_page->Control(id)); }
    std::string Text(int id) const {
        return qobject_cast<QLabel*>(m_page->Control(id))->text().toStdString();
    }
    QAbstractButton* Button(int id) const {
        return qobject_cast<QAbstractButton*>(m_page->Control(id));
    }
    void Click(int id) { QTest::mouseClick(Button(id), Qt::LeftButton); }

    QTemporaryDir m_dir;
    std::unique_ptr<CKeyboardConfigDlg> m_main; // destroyed after the page
    std::unique_ptr<Page> m_page;
};
