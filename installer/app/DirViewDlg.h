// TDirViewDlg: the directory browser. The drive box offers the drive letters of the
// machine; the directory list shows the current directory's path from the drive's
// root and, below it, its subdirectories by their Windows names. Double-click (or
// Enter on another row) opens a directory; OK takes the list's directory.
#pragma once

#include <QListWidget>
#include <string>

#include "installer/app/FixedDialog.h"

class InstallerFlow;
class QComboBox;
class QLabel;
class QPushButton;

// The directory tree list: root, the open directories down to the current one, then
// the current directory's subdirectories, each indented one step deeper.
class DirectoryListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirectoryListBox(QWidget* parent);
    // The current directory: "X:\" for a root, else without a trailing "\".
    const std::string& Directory() const { return directory_; }
    void SetDirectory(const std::string& directory);
    // The directory a row stands for.
    static std::string RowDirectory(const QListWidgetItem* item);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::string directory_;
};

class TDirViewDlg : public FixedDialog {
    Q_OBJECT
public:
    explicit TDirViewDlg(InstallerFlow& flow);

    // The directory the browser starts in, and after OK the directory chosen.
    std::string StartDir;

    QLabel* DriveLabel;
    QComboBox* DriveCombo;
    QLabel* DirectoryLabel;
    DirectoryListBox* DirectoryList;
    QPushButton* OkButton;
    QPushButton* CancelButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    InstallerFlow& flow_;

    void FillDrives();
    void SelectDriveOf(const std::string& directory);
    void DriveComboChange(int index);
    void OkButtonClick();
};
