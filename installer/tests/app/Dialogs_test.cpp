// The forms of MorvanUP on the offscreen platform: captions, texts, component names,
// fonts, the entry list, keyboard, the progress dialog's stop and close box, the
// version dialog's warning and the install-disk dialog's checks, with the real flow
// and engine on media in a temporary prefix.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "AppTestSupport.h"
#include "installer/app/InstallerFlow.h"
#include "installer/app/PauseGate.h"
#include "installer/app/ProgramForms.h"
#include "installer/app/QtInstallerView.h"
#include "installer/app/QtMessageSink.h"
#include "installer/app/SystemText.h"
#include "installer/engine/InstallerState.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/ScriptTable.h"
#include "installer/env/VersionRecords.h"
#include "installer/testsupport/ScriptedMessages.h"
#include "installer/testsupport/TempPrefix.h"
#include "platform/Prefix.h"

namespace fs = std::filesystem;

namespace {

QString S(const char* text) { return FromSystem(text); }

// Runs `step` every 10 ms on the UI thread (also inside modal dialogs) until it
// returns true.
class Driver {
public:
    explicit Driver(std::function<bool()> step) : step_(std::move(step)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (!done_ && step_()) done_ = true;
        });
        timer_.start(10);
    }
    bool done() const { return done_; }

private:
    QTimer timer_;
    std::function<bool()> step_;
    bool done_ = false;
};

// Counts the showings of a widget.
class ShowCounter : public QObject {
public:
    explicit ShowCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) ++count;
        return false;
    }
    int count = 0;
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        prefix.InstallStandardProduct("2.00");
        mediumD = prefix.MapNewDrive('D');
    }
    void TearDown() override {
        flow.Cleanup();
        forms.reset();
    }
    void Start(const std::vector<std::string>& parameters) {
        forms = std::make_unique<ProgramForms>(flow, view, parameters);
        main()->show();
        flow.OnShow();
    }
    TVermainDlg* main() { return forms->VermainDlg.get(); }
    std::string C(const std::string& relative) { return prefix.HostC(relative); }

    TempPrefix prefix;
    std::string mediumD;
    QtInstallerView view;
    InstallerFlow flow{view, nullptr};
    std::unique_ptr<ProgramForms> forms;
};

}  // namespace

TEST_F(DialogTest, FormsCarryTheirCaptionsTextsNamesAndFonts) {
    ScriptedMessages messages;
    Start({"/DD:\\"});  // no medium on D: yet: the main dialog shows no list
    EXPECT_EQ(QApplication::applicationName(), S("バージョンアップツール"));
    for (const char* name : {"Title1Label", "Title2Label", "VernoLabel", "KanriLabel", "ListPanel",
                             "VerctlList", "OkButton", "CancelButton", "BikouButton",
                             "HyoujiButton", "Timer1"}) {
        EXPECT_NE(main()->findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(main()->OkButton->text(), S("OK"));
    EXPECT_EQ(main()->CancelButton->text(), S("ｷｬﾝｾﾙ"));
    EXPECT_EQ(main()->BikouButton->text(), S("備考"));
    EXPECT_EQ(main()->HyoujiButton->text(), S("最新表示"));
    EXPECT_TRUE(main()->OkButton->isDefault());
    EXPECT_EQ(main()->Timer1->interval(), 100);

    TJyokyoDlg& progress = *forms->JyokyoDlg;
    EXPECT_EQ(progress.windowTitle(), S("バージョンアップ中"));
    EXPECT_EQ(progress.TitleLabel->text(), S("ＴＩＲＵＮＥバージョンアップ"));
    EXPECT_EQ(progress.StopButton->text(), S("中止"));
    EXPECT_EQ(progress.TimeBar->maximum(), 100);
    EXPECT_EQ(forms->DirSelectDlg->windowTitle(), S("MorvanUP(インストールディスク選択)"));
    EXPECT_EQ(forms->DirSelectDlg->SijiLabel->text(),
              S("インストールディスクの場所を選択してください。"));
    EXPECT_EQ(forms->DirSelectDlg->DreViewBtn->text(), S("参照"));
    EXPECT_EQ(forms->DirViewDlg->windowTitle(), S("ディレクトリー参照"));
    EXPECT_EQ(forms->DirViewDlg->DriveLabel->text(), S("ドライブ"));
    EXPECT_EQ(forms->DirViewDlg->DirectoryLabel->text(), S("ディレクトリ"));
    EXPECT_EQ(forms->ReadmeDlg->windowTitle(), S("備考"));
    EXPECT_TRUE(forms->ReadmeDlg->BikouMemo->isReadOnly());

    // The Windows faces map to installed Japanese faces of the same pitch.
    EXPECT_EQ(QFontInfo(main()->VerctlList->font()).family(), QStringLiteral("IPAGothic"));
    EXPECT_EQ(QFontInfo(main()->font()).family(), QStringLiteral("IPAPGothic"));
    EXPECT_EQ(QFontInfo(main()->font()).pixelSize(), 15);
    EXPECT_EQ(QFontInfo(forms->ReadmeDlg->BikouMemo->font()).family(), QStringLiteral("IPAGothic"));
    // The refresh reports the missing control file with the medium in front.
    EXPECT_EQ(messages.AllTexts(), "D: にインストールディスクがありません。");
}

TEST_F(DialogTest, TheEntryListShowsSelectableRowsThatLineUp) {
    ScriptedMessages messages;
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレートの追加"});
    Start({"/DD:\\"});
    QListWidget* list = main()->VerctlList;
    ASSERT_EQ(list->count(), 2) << messages.AllTexts();
    EXPECT_EQ(list->item(0)->text(), S("基本データ                            (ｱﾝｲﾝｽﾄｰﾙ可)"));
    EXPECT_EQ(list->selectedItems().size(), 2);
    EXPECT_EQ(list->visualItemRect(list->item(1)).height(), 21);
    // With the fixed-pitch face, the marks of both rows start at the same place.
    const QFontMetrics metrics(list->font());
    EXPECT_EQ(metrics.horizontalAdvance(S("基本データ")),
              metrics.horizontalAdvance(QStringLiteral("          ")));
    EXPECT_EQ(main()->Title1Label->text(), S("Morvan"));
    EXPECT_EQ(main()->Title2Label->text(), S("テスト更新ディスク"));
    EXPECT_EQ(main()->VernoLabel->text(), S("Ver 2.10"));
    EXPECT_EQ(main()->KanriLabel->text(), S("管理番号[20240115]"));
    EXPECT_EQ(forms->ReadmeDlg->BikouMemo->toPlainText(),
              S("備考 基本データ\n備考 テンプレートの追加"));

    // Space on the second row deselects it; the worker will get that selection.
    list->setFocus();
    list->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(list, &space);
    EXPECT_EQ(view.EntryRowSelection(), (std::vector<bool>{true, false}));
}

TEST_F(DialogTest, StopThenCancelGoesOnWhereTheWorkerWas) {
    StopPromptAnswer messages(flow.State().job, IDCANCEL);
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"}, "20240115", {3, 3});
    Start({"/DD:\\"});
    HoldingGate gate(flow, 2);
    TJyokyoDlg& progress = *forms->JyokyoDlg;
    ShowCounter shows(&progress);
    bool stopped = false;
    Driver driver([&] {
        if (stopped || !progress.isVisible() || !gate.WaitUntilHeld()) return stopped;
        QCoreApplication::sendPostedEvents();  // the worker's label updates
        EXPECT_EQ(progress.InstLabel->text(), S("インストール中"));
        EXPECT_EQ(progress.TitleLabel->text(), S("基本データ"));
        progress.StopButton->click();
        stopped = true;
        gate.Release();
        return true;
    });
    main()->OkButton->click();
    EXPECT_TRUE(messages.workerStoodStill);
    EXPECT_TRUE(driver.done());
    EXPECT_EQ(shows.count, 2);  // the progress dialog came back after Cancel
    EXPECT_EQ(flow.State().job.JobState.load(), kJobFinished);
    EXPECT_EQ(flow.State().job.ExecutedCommandCount.load(), 6);
    EXPECT_TRUE(view.MainClosed());
    EXPECT_EQ(messages.Boxes().back().text, "インストールが正常に終了しました。");
}

TEST_F(DialogTest, TheProgressDialogsCloseBoxAbortsTheJob) {
    ScriptedMessages messages;
    WriteSampleMedium(mediumD, 1, 1, {"基本データ", "テンプレート"});
    Start({"/DD:\\"});
    HoldingGate gate(flow, 1);
    TJyokyoDlg& progress = *forms->JyokyoDlg;
    Driver driver([&] {
        if (!progress.isVisible() || !gate.WaitUntilHeld()) return false;
        progress.close();
        gate.Release();
        return true;
    });
    main()->OkButton->click();
    EXPECT_EQ(flow.State().job.JobState.load(), kJobAborted);
    EXPECT_TRUE(view.MainClosed());
    EXPECT_FALSE(progress.isVisible());
    for (const RecordedBox& box : messages.Boxes()) EXPECT_NE(box.caption, "中止");
    flow.Cleanup();
    EXPECT_EQ(flow.State().job.ExecutedCommandCount.load(), 0);
    EXPECT_FALSE(fs::exists(C("MORVAN/Readme.ver")));
}

namespace {
// A kept group of a revision-only medium, as an install leaves it.
void WriteKeptGroup(const std::string& store, const std::string& id, const std::string& title) {
    WriteHostFile(store + "/" + id + "/MorvanUP.INF",
                  CrLf({"Morvan," + title, "2.1X/" + id, "2.00/0", "1/1", "2.00"}));
    WriteHostFile(store + "/" + id + "/01/INST00.DAT",
                  CrLf({"2.1X/" + id, "UNINST," + title, "D C:\\MORVAN\\" + id + ".TXT",
                        "INSTEND"}));
}
}  // namespace

TEST_F(DialogTest, TheVersionDialogWarnsWhenAnOlderGroupIsChosen) {
    ScriptedMessages messages;
    WriteKeptGroup(C("MORVAN/MorvanDN"), "20240101", "一月の修正");
    WriteKeptGroup(C("MORVAN/MorvanDN"), "20240201", "二月の修正");
    TVerSelectDlg* dialog = nullptr;
    bool checked = false;
    Driver driver([&] {
        dialog = qobject_cast<TVerSelectDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return false;
        EXPECT_EQ(dialog->windowTitle(), S("MorvanDN（バージョン選択）"));
        EXPECT_EQ(dialog->Siji1Label->text(), S("バージョンを選択してください。"));
        EXPECT_EQ(dialog->VersionBox->count(), 2);
        EXPECT_EQ(dialog->VersionBox->currentIndex(), 1);  // the newest
        EXPECT_EQ(dialog->VersionBox->itemText(0), S("2024.01.01(Morvan,一月の修正)"));
        // Escape does nothing here.
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(dialog, &escape);
        EXPECT_TRUE(dialog->isVisible());
        dialog->VersionBox->setCurrentIndex(0);
        messages.QueueAnswer(IDRETRY);
        messages.QueueAnswer(IDIGNORE);
        dialog->OkButton->click();
        checked = true;
        return true;
    });
    Start({"/U"});
    ASSERT_TRUE(checked);
    const std::vector<RecordedBox> boxes = messages.Boxes();
    ASSERT_EQ(boxes.size(), 2u) << messages.AllTexts();
    for (const RecordedBox& box : boxes) {
        EXPECT_EQ(box.caption, "警告");
        EXPECT_EQ(box.text,
                  "アンインストールする場合は新しいバージョンから行って下さい。"
                  "そうで無い場合は、動作保証できません。");
    }
    EXPECT_EQ(flow.State().run.UninstallGroupName, "20240101");
    EXPECT_FALSE(view.MainClosed());
    EXPECT_EQ(main()->windowTitle(), S("Morvan(アンインストール)"));
    EXPECT_FALSE(main()->HyoujiButton->isVisible());
    ASSERT_EQ(main()->VerctlList->count(), 1);
    EXPECT_TRUE(main()->VerctlList->item(0)->text().startsWith(S("一月の修正")));
}

TEST_F(DialogTest, AbortInTheVersionWarningEndsTheProgram) {
    ScriptedMessages messages;
    WriteKeptGroup(C("MORVAN/MorvanDN"), "20240101", "一月の修正");
    WriteKeptGroup(C("MORVAN/MorvanDN"), "20240201", "二月の修正");
    Driver driver([&] {
        auto* dialog = qobject_cast<TVerSelectDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return false;
        dialog->VersionBox->setCurrentIndex(0);
        messages.QueueAnswer(IDABORT);
        dialog->OkButton->click();
        return true;
    });
    Start({"/U"});
    EXPECT_TRUE(view.MainClosed());
    EXPECT_EQ(messages.Boxes().size(), 1u);
}

TEST_F(DialogTest, InstallDiskDialogShowsCodeMinus4WithTheDirectoryInFront) {
    ScriptedMessages messages;
    WriteSampleMedium(mediumD, 1, 1, {"基本データ"});
    fs::create_directories(mediumD + "/EMPTY");
    int stage = 0;
    Driver driver([&] {
        auto* dialog = qobject_cast<TDirSelectDlg*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return false;
        if (stage == 0) {
            EXPECT_EQ(dialog->DirPathEdit->text(), S("A:\\"));
            dialog->DirPathEdit->setText(S("D:\\EMPTY\\"));
            dialog->DirPathEdit->setFocus();
            // Enter in the edit box only moves the focus to OK.
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(dialog->DirPathEdit, &enter);
            EXPECT_TRUE(dialog->OkButton->hasFocus() || QApplication::focusWidget() == nullptr);
            EXPECT_TRUE(messages.Boxes().empty());
            dialog->OkButton->click();
            EXPECT_TRUE(dialog->isVisible());
            stage = 1;
            return false;
        }
        dialog->DirPathEdit->setText(S("D:\\"));
        dialog->OkButton->click();
        return true;
    });
    Start({});
    ASSERT_TRUE(driver.done());
    ASSERT_GE(messages.Boxes().size(), 1u);
    EXPECT_EQ(messages.Boxes()[0].text, "D:\\EMPTY にインストールディスクがありません。");
    EXPECT_EQ(messages.Boxes()[0].caption, "エラー");
    EXPECT_EQ(flow.State().run.InstallDiskPath, "D:");
    EXPECT_EQ(main()->VerctlList->count(), 1);
}

TEST_F(DialogTest, TheBrowserOffersTheDrivesAndRefusesOneWithoutItsMedium) {
    ScriptedMessages messages;
    WriteSampleMedium(mediumD, 1, 1, {"基本データ"});
    ASSERT_EQ(platform::MapDrive('E', prefix.dir() + "/no-medium"), 0u);
    forms = std::make_unique<ProgramForms>(flow, view, std::vector<std::string>{});
    TDirViewDlg& browser = *forms->DirViewDlg;
    browser.StartDir = "D:\\";
    std::vector<QString> drives, rows;
    Driver driver([&] {
        if (!browser.isVisible()) return false;
        for (int i = 0; i < browser.DriveCombo->count(); ++i) {
            drives.push_back(browser.DriveCombo->itemText(i));
        }
        for (int i = 0; i < browser.DirectoryList->count(); ++i) {
            rows.push_back(browser.DirectoryList->item(i)->text().trimmed());
        }
        // Drive E: has no medium: code -1, and the box goes back to D:.
        const int e = browser.DriveCombo->findText(QStringLiteral("E:"));
        browser.DriveCombo->setCurrentIndex(e);
        emit browser.DriveCombo->activated(e);
        EXPECT_EQ(browser.DriveCombo->currentText(), QStringLiteral("D:"));
        // Into DATA by double-click, then OK.
        browser.DirectoryList->itemDoubleClicked(browser.DirectoryList->item(1));
        browser.OkButton->click();
        return true;
    });
    ASSERT_EQ(browser.exec(), QDialog::Accepted);
    EXPECT_EQ(drives, (std::vector<QString>{QStringLiteral("C:"), QStringLiteral("D:"),
                                            QStringLiteral("E:"), QStringLiteral("Z:")}));
    EXPECT_EQ(rows, (std::vector<QString>{QStringLiteral("D:\\"), QStringLiteral("DATA")}));
    EXPECT_EQ(messages.AllTexts(), "ドライブの準備が出来ていません。");
    EXPECT_EQ(browser.StartDir, "D:\\DATA");
}

TEST(MessageBoxes, KeyboardAsOnWindowsAlsoFromTheWorker) {
    QtMessageSink sink;
    // Enter presses the first button; in an OK/Cancel box Escape answers Cancel; an
    // Abort/Retry/Ignore box takes its letters and ignores Escape.
    auto pressWhenShown = [](std::vector<std::pair<int, QString>> keys) {
        return std::make_unique<Driver>([keys, index = std::size_t{0}]() mutable {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return false;
            const auto& [key, text] = keys[index];
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
            QApplication::sendEvent(box, &press);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
            QApplication::sendEvent(box, &release);
            return ++index == keys.size();
        });
    };
    {
        auto driver = pressWhenShown({{Qt::Key_Return, QString()}});
        EXPECT_EQ(sink.ShowMessage("警告", "本当に?", MessageButtons::AbortRetryIgnore,
                                   MessageIcon::Warning),
                  IDABORT);
    }
    {
        auto driver = pressWhenShown({{Qt::Key_Escape, QString()}});
        EXPECT_EQ(sink.ShowMessage("中止", "中止します。", MessageButtons::OkCancel,
                                   MessageIcon::Warning),
                  IDCANCEL);
    }
    {
        auto driver = pressWhenShown({{Qt::Key_Escape, QString()}, {Qt::Key_R, QStringLiteral("r")}});
        EXPECT_EQ(sink.ShowMessage("警告", "本当に?", MessageButtons::AbortRetryIgnore,
                                   MessageIcon::Warning),
                  IDRETRY);
    }
    {
        // From another thread: the box appears on the UI thread, the caller waits.
        auto driver = pressWhenShown({{Qt::Key_Return, QString()}});
        int answer = 0;
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            answer = sink.ShowMessage("エラー", "失敗\r二行目", MessageButtons::Ok,
                                      MessageIcon::Error);
            finished = true;
        });
        while (!finished) QApplication::processEvents(QEventLoop::AllEvents, 20);
        worker.join();
        EXPECT_EQ(answer, IDOK);
    }
}
