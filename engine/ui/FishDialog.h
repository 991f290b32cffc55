// "Fish Select Dialog": the species, and per species a correction of the
// length estimate from "Shorter" (-10 dB) to "Longer" (+10 dB).
#pragma once

#include "engine/Fish.h"

#include <QButtonGroup>
#include <QDialog>
#include <QSlider>

#include <array>

class CFishDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kDialogId = 221;
    explicit CFishDialog(const CFish::DialogValues& values, QWidget* parent = nullptr);
    // The dialog's copy: a slider's position is stored the moment it moves.
    const CFish::DialogValues& Values() const { return m_values; }
    void accept() override;

private:
    CFish::DialogValues m_values;
    QButtonGroup* m_species;
    std::array<QSlider*, CFish::kSpeciesCount> m_sliders{};
};
