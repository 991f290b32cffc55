#include "app/widgets/FolderDlg.h"

#include "base/AppIds.h"
#include "base/StringTable.h"
#include "platform/MessageBox.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace app {

CFolderDlg::CFolderDlg(QWidget* parent)
    : QDialog(parent),
      m_tree(new CDirTreeCtrl(this)),
      m_name(new QLineEdit(this)),
      m_label(new QLabel(this)),
      m_create(new QPushButton(this)),
      m_path(new QLabel(this))
{
    setObjectName("dialog_243");
    setWindowTitle("Select Target Directory");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addWidget(m_path);
    auto* row = new QHBoxLayout;
    row->addWidget(m_label);
    row->addWidget(m_name);
    row->addWidget(m_create);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_name->setObjectName("edit_name");
    m_create->setObjectName("button_new_folder");
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        selectedPath = m_tree->GetFullPath(item);
        m_path->setText(QString::fromStdString(selectedPath));
    });
    connect(m_create, &QPushButton::clicked, this, [this] { CreateNewFolder(m_name->text().toStdString()); });
}

void CFolderDlg::Prepare()
{
    if (!title.empty())
        setWindowTitle(QString::fromStdString(title));
    m_label->setText(QString::fromStdString(labelText.empty() ? Strings().Load(ids::CREATE_FOLDER) : labelText));
    m_create->setText(QString::fromStdString(buttonText.empty() ? Strings().Load(ids::NEW_FOLDER) : buttonText));
    m_name->setEnabled(allowCreation);
    m_label->setEnabled(allowCreation);
    m_create->setEnabled(allowCreation);
    const std::string selected = selectedPath;
    m_tree->DisplayTree(startPath, false);
    m_tree->SetSelPath(selected);
    selectedPath = selected;
    m_path->setText(QString::fromStdString(selectedPath));
}

int CFolderDlg::exec()
{
    Prepare();
    return QDialog::exec();
}

bool CFolderDlg::CreateNewFolder(const std::string& name)
{
    if (name.empty())
        return false;
    const std::string path = selectedPath + "/" + name;
    // An existing folder counts as a failure: nothing new was made.
    if (QDir(QString::fromStdString(path)).exists() || !QDir().mkdir(QString::fromStdString(path))) {
        ::MessageBox(0, "Could not create " + path, windowTitle().toStdString(), MB_ICONEXCLAMATION);
        return false;
    }
    m_tree->DisplayTree(startPath, false);
    m_tree->SetSelPath(path);
    selectedPath = path;
    m_path->setText(QString::fromStdString(selectedPath));
    return true;
}

}  // namespace app
