// Start-up decisions: test mode from the command line, the program directory.

#include "app/StartupOptions.h"
#include "test_app_harness.h"

#include <gtest/gtest.h>

TEST(TestSwitch, TheWordTestInAnyCaseNeedsNoQuestion) {
    for (const char* text : {"TEST", "test", "TeSt", "tEST"}) {
        ScriptedPrompts prompts;
        EXPECT_TRUE(DecideTestMode(QString::fromLatin1(text), prompts)) << text;
        EXPECT_EQ(prompts.questions, 0) << text;
    }
}

TEST(TestSwitch, OtherTextAsksAndTheAnswerDecides) {
    for (const char* text : {"-TEST", "TEST x", "TESTS", " TEST", "x"}) {
        ScriptedPrompts no;
        EXPECT_FALSE(DecideTestMode(QString::fromLatin1(text), no)) << text;
        ASSERT_EQ(no.questions, 1) << text;
        EXPECT_EQ(no.messages[0].text, "Show Extra Test Functions?");
        EXPECT_EQ(no.messages[0].title, "Set Test Options");

        ScriptedPrompts yes;
        yes.yes = true;
        EXPECT_TRUE(DecideTestMode(QString::fromLatin1(text), yes)) << text;
    }
}

TEST(TestSwitch, EmptyCommandLineAsksNothing) {
    ScriptedPrompts prompts;
    prompts.yes = true;
    EXPECT_FALSE(DecideTestMode(QString(), prompts));
    EXPECT_EQ(prompts.questions, 0);
}

TEST(TestSwitch, CommandLineTextKeepsTheWordsAsGiven) {
    char program[] = "/usr/bin/kbconfig";
    char first[] = "-platform";
    char second[] = "TEST";
    char* argv[] = {program, first, second};
    EXPECT_EQ(CommandLineText(3, argv), "-platform TEST");
    EXPECT_EQ(CommandLineText(1, argv), "");
}

TEST(ProgramDirectory, CutAfterTheLastSeparator) {
    EXPECT_EQ(ProgramDirectory("/usr/local/bin/kbconfig", '/'), "/usr/local/bin/");
    EXPECT_EQ(ProgramDirectory("/kbconfig", '/'), "/");
    EXPECT_EQ(ProgramDirectory("C:\\Tools\\Kb\\kbconfig.exe", '\\'), "C:\\Tools\\Kb\\");
    // Only the platform's separator counts.
    EXPECT_EQ(ProgramDirectory("C:\\Tools\\kbconfig.exe", '/'), "/");
}

TEST(ProgramDirectory, PathWithoutSeparatorGivesTheSeparatorAlone) {
    EXPECT_EQ(ProgramDirectory("kbconfig", '/'), "/");
    EXPECT_EQ(ProgramDirectory("kbconfig.exe", '\\'), "\\");
    EXPECT_EQ(ProgramDirectory("", '/'), "/");
}
