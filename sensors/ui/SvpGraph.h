// The profile editor: a sound velocity profile as a curve on the plot
// control, velocity across (m/s) and depth down (m), the curve's points at
// (velocity, -depth). Opened on a constant velocity or on a profile file;
// OK stores the curve as an ".asvp" file, and "Save As..." under a chosen
// name. Drawing, picking, the point list and undo are the plot control's.
#pragma once

#include "base/ModelCodes.h"
#include "sensors/ui/EnvironmentDialog.h"

#include <QDialog>

#include <functional>
#include <map>
#include <string>

class CGraphView;
class QAction;
class QToolBar;

class CSvpGraph : public QDialog
{
public:
    // Tool bar commands.
    static constexpr int IdDeleteMode = 32901;
    static constexpr int IdPickMode = 32900;
    static constexpr int IdAddMode = 32899;
    static constexpr int IdZoomMode = 32904;
    static constexpr int IdPanMode = 32915;
    static constexpr int IdFit = 32905;
    static constexpr int IdUndo = 32914;
    static constexpr int IdSaveAs = 32902;

    static constexpr const char* kFallbackFile = "1500.asvp";

    struct Hooks
    {
        // The save-as choice, starting in a folder: the path chosen, empty
        // on Cancel. Empty: the system's file dialog.
        std::function<std::string(const std::string& folder)> chooseSaveAs;
    };

    // Opens on the request; the request tells the caller what was stored.
    CSvpGraph(SSvpEditRequest& request, SounderModel model, Hooks hooks = {}, QWidget* parent = nullptr);
    ~CSvpGraph() override;
    // Runs it modally; the request's stored flag says whether it stored.
    static void Run(SSvpEditRequest& request, SounderModel model, QWidget* parent);

    CGraphView& View() const { return *m_view; }
    QAction* Action(int id) const;
    void RunCommand(int id);
    // Stores curve 0 as an ".asvp" file; false when it could not.
    bool Store(const std::string& folder, const std::string& fileName);
    void accept() override;

private:
    void OpenConstant(double velocity);
    void OpenFile();
    void SaveAs();
    void CheckMode(int id);

    SSvpEditRequest& m_request;
    const SounderModel m_model;
    Hooks m_hooks;
    CGraphView* m_view;
    QToolBar* m_toolBar;
    std::map<int, QAction*> m_actions;
};
