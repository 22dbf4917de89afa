#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "installer/app/PauseGate.h"

namespace fs = std::filesystem;

void WriteHostFile(const std::string& hostPath, const std::string& bytes) {
    fs::create_directories(fs::path(hostPath).parent_path());
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadHostFile(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string CrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

void WriteSampleMedium(const std::string& hostDir, int no, int count,
                       const std::vector<std::string>& titles, const std::string& revision,
                       const std::vector<int>& copies, const std::string& version) {
    WriteHostFile(hostDir + "/MorvanUP.INF",
                  CrLf({"Morvan,テスト更新ディスク", version + "/" + revision, "2.00/00000000",
                        std::to_string(no) + "/" + std::to_string(count)}));
    for (std::size_t i = 0; i < titles.size(); ++i) {
        const std::string n = std::to_string(i);
        std::vector<std::string> lines{version + "/" + revision, "README",
                                       "備考 " + titles[i], "READMEEND",
                                       "UNINST," + titles[i]};
        const int times = i < copies.size() ? copies[i] : 1;
        for (int k = 0; k < times; ++k) {
            lines.push_back("C DATA\\F" + n + ".TXT C:\\MORVAN\\F" + n + "_" + std::to_string(no) +
                            ".TXT");
        }
        lines.push_back("INSTEND");
        WriteHostFile(hostDir + "/INST0" + n + ".DAT", CrLf(lines));
        WriteHostFile(hostDir + "/DATA/F" + n + ".TXT", "file " + n + "\r\n");
    }
}

void FakeView::SetHeaderLabels(const std::string& t1, const std::string& t2, const std::string& v,
                               const std::string& k) {
    title1 = t1;
    title2 = t2;
    verno = v;
    kanri = k;
}

void FakeView::SetEntryRows(const std::vector<std::string>& newRows) {
    rows = newRows;
    selection.assign(rows.size(), true);
}

void FakeView::MakeMainVisible() {
    ++showings_;
    if (onMakeVisible) onMakeVisible(showings_);
    mainVisible = true;
}

void FakeView::CloseMain() {
    mainClosed = true;
    mainVisible = false;
}

bool FakeView::RunDirSelectDialog() {
    flow->DirSelectShown();
    return flow->DirSelectOk(dirSelectText) == DialogOutcome::Ok;
}

bool FakeView::RunVersionDialog(const std::vector<std::string>& choices, int preselected) {
    versionChoices = choices;
    return flow->VerSelectOk(versionIndex >= 0 ? versionIndex : preselected) == DialogOutcome::Ok;
}

void FakeView::RunProgressDialog() {
    ++progressRuns;
    progressOpen_ = true;
    if (onProgress) onProgress(progressRuns);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (progressOpen_) {
        const int job = postedClose.exchange(-1);
        if (job >= 0) flow->WorkerClosedProgress(job);
        flow->Timer1Timer();
        if (std::chrono::steady_clock::now() > limit) {
            ADD_FAILURE() << "the progress dialog was never closed";
            flow->State().job.AbortJob();
            flow->JobPauseGate().Open();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void FakeView::CloseProgressDialog() {
    if (!progressOpen_) return;
    progressOpen_ = false;
    flow->ProgressClosed();
}

void FakeView::WaitUntil(const std::function<bool()>& done) {
    while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

void FakeView::PostProgressCaption(const std::string& text) {
    std::lock_guard lock(textMutex);
    progressCaption = text;
}

void FakeView::PostInstLabel(const std::string& text) {
    std::lock_guard lock(textMutex);
    instLabel = text;
}

void FakeView::PostTitleLabel(const std::string& text) {
    std::lock_guard lock(textMutex);
    progressTitles.push_back(text);
}

HoldingGate::HoldingGate(InstallerFlow& flow, int holdAt) : flow_(flow), holdAt_(holdAt) {
    flow_.State().job.SetCommandGate([this] { return Pass(); });
}

HoldingGate::~HoldingGate() {
    Release();
    flow_.UseJobPauseGate();
}

bool HoldingGate::Pass() {
    {
        std::unique_lock lock(mutex_);
        if (++passed_ == holdAt_) {
            held_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
        }
    }
    return flow_.JobPauseGate().Pass(flow_.State().job);
}

bool HoldingGate::WaitUntilHeld() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [this] { return held_; });
}

void HoldingGate::Release() {
    std::lock_guard lock(mutex_);
    released_ = true;
    changed_.notify_all();
}
