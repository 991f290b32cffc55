#include "app/ui/LanguageDialog.h"

#include "app/LanguageList.h"
#include "platform/MessageBox.h"

#include <QDialogButtonBox>
#include <QLocale>
#include <QVBoxLayout>

namespace app {

QString CLanguageDialog::NativeName(unsigned languageId)
{
    const std::string locale = LocaleNameForLanguageId(languageId);
    if (locale.empty())
        return QString::number(languageId);
    QString name = QLocale(QString::fromStdString(locale)).nativeLanguageName().left(31);
    if (!name.isEmpty())
        name[0] = name[0].toUpper();
    return name;
}

CLanguageDialog::CLanguageDialog(const std::string& languagePath, unsigned currentLanguage, QWidget* parent)
    : QDialog(parent), m_combo(new QComboBox(this)), m_selected(currentLanguage)
{
    setObjectName("dialog_224");
    setWindowTitle("Language");
    auto* layout = new QVBoxLayout(this);
    m_combo->setObjectName("combo_language");
    layout->addWidget(m_combo);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    const auto ids = ListLanguageIds(languagePath);
    if (!ids) {
        ::MessageBox(0, "No language resource directory found at:\n\n" + languagePath + "*", "Language", MB_ICONSTOP);
        return;
    }
    m_ids = *ids;
    for (unsigned id : m_ids) {
        m_combo->addItem(NativeName(id));
        if (id == currentLanguage)
            m_combo->setCurrentIndex(m_combo->count() - 1);
    }
}

void CLanguageDialog::accept()
{
    const int index = m_combo->currentIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < m_ids.size())
        m_selected = m_ids[static_cast<std::size_t>(index)];
    QDialog::accept();
}

}  // namespace app
