#include "app/widgets/DialogFields.h"

#include "platform/MessageBox.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <sstream>
#include <string>

namespace widgets {

QString FormatNumber(double v, int decimals)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.setf(std::ios::fixed);
    out.precision(decimals);
    out << v;
    return QString::fromStdString(out.str());
}

bool ParseNumber(const QString& text, double& value)
{
    const std::string s = text.trimmed().toStdString();
    if (s.empty())
        return false;
    std::istringstream in(s);
    in.imbue(std::locale::classic());
    double v = 0.0;
    in >> v;
    if (in.fail() || !in.eof() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool CheckRange(QLineEdit* field, double lo, double hi, double& value)
{
    double v = 0.0;
    if (!ParseNumber(field->text(), v)) {
        MessageBox(HWND{}, "Please enter a number.", "", MB_OK | MB_ICONEXCLAMATION);
        field->setFocus();
        field->selectAll();
        return false;
    }
    if (v < lo || v > hi) {
        const std::string text = "Please enter a number between " + FormatNumber(lo, 1).toStdString() + " and " +
                                 FormatNumber(hi, 1).toStdString() + ".";
        MessageBox(HWND{}, text, "", MB_OK | MB_ICONEXCLAMATION);
        field->setFocus();
        field->selectAll();
        return false;
    }
    value = v;
    return true;
}

}  // namespace widgets
