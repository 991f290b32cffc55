// The folder dialog (243): choose a folder in a tree, and optionally create
// a new one inside the selected folder.
#pragma once

#include "app/widgets/DirTreeCtrl.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <string>

namespace app {

class CFolderDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CFolderDlg(QWidget* parent = nullptr);

    std::string title;
    std::string startPath;
    std::string selectedPath;
    std::string labelText;
    std::string buttonText;
    bool allowCreation = false;

    // Applies the fields above; exec() calls it.
    void Prepare();
    int exec() override;
    // The new-folder button.
    bool CreateNewFolder(const std::string& name);
    CDirTreeCtrl* Tree() const { return m_tree; }

private:
    CDirTreeCtrl* m_tree;
    QLineEdit* m_name;
    QLabel* m_label;
    QPushButton* m_create;
    QLabel* m_path;
};

}  // namespace app
