// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up and shutdown of the main window, and the settings file between them.

#include "../window/WindowRig.h"

namespace acw::test {
namespace {

const char* const kFirstRun = "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n1\r\n1\r\n";

// The ten values the window holds, as the settings file would hold them ("|" for CR LF).
QString settingsOf(Rig& rig) {
    return QString::fromStdString(writeSettingsText(rig.life.currentSettings()))
        .replace("\r\n", "|");
}

TEST(StartUp, ReadsValidatesAndShowsTheSettingsAndSelectsTheSavedDevice) {
    // file ("|" for CR LF), then the state, the highlighted device and the frame caption
    const std::tuple<const char*, const char*, int, const char*> cases[] = {
        {nullptr, "0|2|0|0|0|32|32|32|1|1|", 0, "Scope Control - Card A"},
        {"1|3|1|", "1|3|1|0|0|32|32|32|1|1|", 1, "Scope Control - Card B"},
        {"0|2|0|1|1|5000|0|300|0|-2.5|", "0|2|0|1|1|32|32|32|1|-2.5|", 0, "Scope Control - Card A"},
        {"7|", "7|2|0|0|0|32|32|32|1|1|", 0, "Scope Control - "},  // names no device
        {"-1|", "-1|2|0|0|0|32|32|32|1|1|", 0, "Scope Control"},   // the default input
        {"51|", "51|2|0|0|0|32|32|32|1|1|", 0, "Scope Control"},   // beyond the captions
    };
    for (const auto& [file, state, row, caption] : cases) {
        SCOPED_TRACE(file ? file : "no file");
        Rig rig({"Card A", "Card B"},
                file ? QByteArray(file).replace('|', "\r\n").data() : nullptr);
        EXPECT_EQ(settingsOf(rig), state);
        EXPECT_EQ(joined(rig.c().deviceList->currentRow(), rig.c().scopeFrame->title()),
                  joined(row, caption));
        const ScopeState& s = rig.scope();  // the controls show the settings
        EXPECT_EQ(joined(rig.texts("LgainReadout RgainReadout"),
                         rig.c().lockGainsCheck->isChecked(), rig.c().splitTraceCheck->isChecked()),
                  joined(QString("%1|%2").arg(s.gainL).arg(s.gainR), s.lockGains == 1,
                         s.splitTrace == 1));
        EXPECT_EQ(std::pair(rig.pixel(-200, -40), rig.reports), std::pair(kGridPx, QStringList()));
    }
    Rig none(QStringList{});  // no input device at all
    EXPECT_EQ(joined(none.c().deviceList->currentRow(), none.c().scopeFrame->title()),
              "-1 Scope Control - ");
}

// Closing writes the ten lines back byte for byte as they were read, and closes the help window.
TEST(Shutdown, CloseWritesTheSettingsBackAndClosesTheHelpWindow) {
    for (const char* file :
         {kFirstRun, "1\r\n0\r\n0\r\n1\r\n1\r\n1024\r\n1\r\n256\r\n0.3333333333333333\r\n-0.5\r\n",
          "1\r\n3\r\n1\r\n0\r\n0\r\n4\r\n4\r\n1\r\n123456789.125\r\n1E-300\r\n"}) {
        Rig rig({"Card A", "Card B"}, file == kFirstRun ? nullptr : file);
        rig.window.close();
        EXPECT_EQ(readAll(rig.path), file);
        EXPECT_EQ(joined(rig.helpCloses, rig.programEnds, rig.window.isVisible()), "1 0 false");
    }
}

// "Exit" runs shutdown and then closes the window, whose close runs it once more: the same file
// is written twice, with the lock box's state, and nothing loops.
TEST(Shutdown, ExitWritesTheSameFileTwiceAndClosesTheWindow) {
    Rig rig;
    rig.session.setVoltsCal(2.5);
    rig.c().lockGainsCheck->setChecked(true);
    QList<QByteArray> written;
    rig.onHelpClose = [&] {
        written << readAll(rig.path);
        QFile::remove(rig.path);
    };
    rig.c().exitAction->trigger();
    EXPECT_EQ(written,
              QList<QByteArray>(2, "0\r\n2\r\n1\r\n0\r\n0\r\n32\r\n32\r\n32\r\n2.5\r\n1\r\n"));
    EXPECT_EQ(joined(rig.programEnds, rig.window.isVisible()), "0 false");
}

TEST(Shutdown, DuringCaptureStopsOnceAndEndsTheProgram) {
    for (const bool viaExit : {false, true}) {
        Rig rig;
        click(rig.c().startButton);
        rig.session.setAmpsCal(0.25);
        viaExit ? rig.c().exitAction->trigger() : void(rig.window.close());
        EXPECT_EQ(joined(rig.input->closeCalls, rig.programEnds, rig.helpCloses), "1 1 0");
        EXPECT_TRUE(readAll(rig.path).endsWith("\r\n1\r\n0.25\r\n"));
        rig.window.close();  // windows closed while the program ends neither stop nor end again
        rig.c().exitAction->trigger();
        EXPECT_EQ(joined(rig.input->closeCalls, rig.programEnds), "1 1");
    }
}

// A folder where the file should be: start-up says so and starts from the first-run values;
// shutdown says so, and Retry writes once the user has moved the folder away.
TEST(Shutdown, FolderInPlaceOfTheFileIsReportedAndRetryWritesOnceItIsGone) {
    Rig rig({"Card A"}, "/");
    EXPECT_EQ(settingsOf(rig), QString(kFirstRun).replace("\r\n", "|"));
    rig.session.setVoltsCal(2.5);
    rig.onSaveFailure = [&] { return QDir(rig.path).removeRecursively(); };
    rig.c().exitAction->trigger();
    EXPECT_EQ(rig.reports, QStringList({"load " + rig.path + ": it is a folder, not a file",
                                        "save " + rig.path + ": it is a folder, not a file"}));
    EXPECT_EQ(readAll(rig.path), "0\r\n2\r\n0\r\n0\r\n0\r\n32\r\n32\r\n32\r\n2.5\r\n1\r\n");
    EXPECT_EQ(joined(rig.helpCloses, rig.window.isVisible()), "2 false");
    const UserMessage load = settingsLoadFailureMessage("/c/w.ini", "it is a folder, not a file");
    EXPECT_EQ(load.text, "Could not read the settings from /c/w.ini: it is a folder, not a file.");
    EXPECT_TRUE(load.advice.contains("Rename or remove that folder"));
}

// The program's own box for a failed save offers Retry and Ignore, advises on a file that stands
// where the settings folder should be, and takes Escape as Ignore: "Exit" asks once and ends.
TEST(Shutdown, SaveFailureBoxTakesEscapeAsIgnore) {
    Rig rig({"Card A"}, nullptr, true);
    writeAll(rig.dir.filePath("cfg"), "a file");
    const QString path = rig.dir.filePath("cfg/sub/wattmeter.ini");
    rig.session.setSettingsStore(SettingsStore(path));
    QStringList shown;
    bool escapeClosed = false;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        shown << box->windowTitle() << box->text() << box->informativeText();
        EXPECT_EQ(box->standardButtons(), QMessageBox::Retry | QMessageBox::Ignore);
        if (shown.size() == 3) QTest::keyClick(box, Qt::Key_Escape);
        escapeClosed = shown.size() == 3 && !box->isVisible();
        if (box->isVisible()) box->button(QMessageBox::Ignore)->click();
    });
    answer.start(20);
    rig.c().exitAction->trigger();
    EXPECT_TRUE(escapeClosed);
    ASSERT_EQ(shown.size(), 3);  // one box
    EXPECT_EQ(shown[0] + ": " + shown[1], "Error: Could not save the settings to " + path +
                                              ": a file is in the way: " + rig.dir.filePath("cfg") +
                                              " is a file, not a folder.");
    EXPECT_TRUE(shown[2].startsWith("Rename or remove that file")) << shown[2].toStdString();
    EXPECT_FALSE(rig.window.isVisible());
}

}  // namespace
}  // namespace acw::test
