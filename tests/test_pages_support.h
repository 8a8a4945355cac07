#pragma once

// Shared set-up for the page tests: a fresh settings record and a main
// window for the pages to call back into, and a page shown on its own so
// that its sliders paint.

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
#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

template <typename Page> class PageFixture : public ::testing::Test {
protected:
    void SetUpPage(bool testMode) {
        g_settings = KeyboardSettings{};
        ASSERT_TRUE(m_dir.isValid());
        // A quiet built-in keyboard, and no timer: nothing consumes the
        // pending marks the tests look at.
        EmulatorBus::Options options;
        options.autonomous = false;
        m_main = std::make_unique<CKeyboardConfigDlg>(testMode, m_dir.path() + "/",
                                                      std::make_shared<EmulatorBus>(options));
        m_main->SetTimerRunning(false);
        m_page = std::make_unique<Page>();
        m_page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_page.get()));
        // Activation repaints every control, and a slider that loses the
        // focus repaints too; let that happen now.
        m_page->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_page.get()));
        if (QWidget* focus = QApplication::focusWidget())
            focus->clearFocus();
        QTest::qWait(10);
        // The first paint wrote the initial slider positions; start clean.
        g_settings = KeyboardSettings{};
        ClearPending();
    }
    void TearDown() override {
        m_page.reset();
        m_main.reset();
    }

    void Unlock(bool unlocked) { m_main->m_bConfigUnlocked = unlocked; }
    void ClearPending() {
        m_main->m_bThresholdsPending = false;
        m_main->m_bOptionsPending = false;
        m_main->m_bIdNumberPending = false;
    }

    QSlider* Slider(int id) const { return qobject_cast<QSlider*>(m_page->Control(id)); }
    QString Text(int id) const { return qobject_cast<QLabel*>(m_page->Control(id))->text(); }
    QAbstractButton* Button(int id) const {
        return qobject_cast<QAbstractButton*>(m_page->Control(id));
    }
    void Click(int id) { QTest::mouseClick(Button(id), Qt::LeftButton); }

    // Moves a slider and lets it paint at once, as a drag would.
    void MoveAndPaint(int id, int position) {
        Slider(id)->setValue(position);
        Slider(id)->repaint();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CKeyboardConfigDlg> m_main;
    std::unique_ptr<Page> m_page;
};
