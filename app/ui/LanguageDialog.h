// The language dialog (224): the languages found in the language folder, by
// their own names.
#pragma once

#include <QComboBox>
#include <QDialog>

#include <string>
#include <vector>

namespace app {

class CLanguageDialog : public QDialog
{
    Q_OBJECT
public:
    CLanguageDialog(const std::string& languagePath, unsigned currentLanguage, QWidget* parent = nullptr);
    unsigned SelectedLanguage() const { return m_selected; }
    const std::vector<unsigned>& Languages() const { return m_ids; }
    QComboBox* Combo() const { return m_combo; }
    // The native name of a language, first letter upper case, at most 31
    // characters; the id in decimal when the locale is unknown.
    static QString NativeName(unsigned languageId);

    void accept() override;

private:
    QComboBox* m_combo;
    std::vector<unsigned> m_ids;
    unsigned m_selected;
};

}  // namespace app
