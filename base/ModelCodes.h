// The sounder model the program runs as and the type of a transceiver: the
// two codes every subsystem reads. Their numbers are kept in settings, in the
// installation's records and in recorded files, so they never change.
#pragma once

// Fixed at start-up from the executable's name or the SounderName setting.
enum class SounderModel : int { QY210 = 0, QY310 = 1, RM30 = 2, TQ30 = 3, TOTAL = 4, QYNVU = 5 };

// The models whose outputs and menus are the QY family's.
constexpr bool IsQYModel(SounderModel model)
{
    return model == SounderModel::QY210 || model == SounderModel::QY310 || model == SounderModel::QYNVU;
}

// An installed transceiver's type (the installation's "TransceiverType").
// A transceiver without a type of its own, such as replay, answers HXU (0).
enum class TransceiverType : int { HXU = 0, DRU = 1, NVU = 2, QY42 = 3, GEO = 4 };
