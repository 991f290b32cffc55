#include "plot/ui/PlotFields.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <charconv>
#include <cmath>
#include <string>

namespace plotfields {

namespace {

bool Parse(const QString& text, double& value)
{
    std::string s = text.trimmed().toStdString();
    if (!s.empty() && s.front() == '+')
        s.erase(0, 1);
    double v = 0.0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || error != std::errc() || end != s.data() + s.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

bool Refuse(QLineEdit* field, const QString& message)
{
    QMessageBox::warning(field->window(), field->window()->windowTitle(), message);
    field->setFocus();
    field->selectAll();
    return false;
}

}  // namespace

QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    WithId(box->button(QDialogButtonBox::Ok), 1);
    WithId(box->button(QDialogButtonBox::Cancel), 2);
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

QString FormatNumber(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    return QString::fromLatin1(text, static_cast<int>(result.ptr - text));
}

bool TakeNumber(QLineEdit* field, double& value)
{
    if (!Parse(field->text(), value))
        return Refuse(field, QStringLiteral("Please enter a number."));
    return true;
}

bool TakeRange(QLineEdit* from, QLineEdit* to, double& a, double& b)
{
    if (!TakeNumber(from, a) || !TakeNumber(to, b))
        return false;
    if (!std::isfinite(b - a))
        return Refuse(to, QStringLiteral("Please enter a smaller range."));
    return true;
}

bool TakeInteger(QLineEdit* field, int lo, int hi, int& value)
{
    double v = 0.0;
    if (!Parse(field->text(), v) || v != std::floor(v))
        return Refuse(field, QStringLiteral("Please enter an integer."));
    if (v < lo || v > hi)
        return Refuse(field, QStringLiteral("Please enter an integer between %1 and %2.").arg(lo).arg(hi));
    value = static_cast<int>(v);
    return true;
}

}  // namespace plotfields
