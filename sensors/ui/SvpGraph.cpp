#include "sensors/ui/SvpGraph.h"

#include "app/widgets/DialogExchange.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "plot/PlotIds.h"
#include "plot/ui/GraphView.h"
#include "sensors/SvpProfile.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QToolBar>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The curve's colour: dark red.
constexpr PlotColour kCurveColour = 128;
constexpr unsigned kRangeOptions = 14;

}  // namespace

CSvpGraph::CSvpGraph(SSvpEditRequest& request, SounderModel model, Hooks hooks, QWidget* parent)
    : QDialog(parent), m_request(request), m_model(model), m_hooks(std::move(hooks))
{
    setWindowTitle("Sound Velocity Profile");
    setObjectName("dialog_SvpGraph");
    m_request.stored = false;
    auto* layout = new QVBoxLayout(this);
    m_toolBar = new QToolBar(this);
    const struct
    {
        int id;
        const char* text;
        bool checkable;
    } commands[] = {
        {IdDeleteMode, "Delete", true}, {IdPickMode, "Pick", true},      {IdAddMode, "Add", true},
        {IdZoomMode, "Zoom", true},     {IdPanMode, "Pan", true},        {IdFit, "Fit", false},
        {IdUndo, "Undo", false},        {IdSaveAs, "Save As...", false},
    };
    for (const auto& c : commands) {
        QAction* action = m_toolBar->addAction(c.text);
        action->setObjectName(QString::number(c.id));
        action->setCheckable(c.checkable);
        connect(action, &QAction::triggered, this, [this, id = c.id] { RunCommand(id); });
        m_actions[c.id] = action;
    }
    layout->addWidget(m_toolBar);
    m_view = new CGraphView(this);
    m_view->setMinimumSize(500, 400);
    layout->addWidget(m_view, 1);
    layout->addWidget(widgets::StandardButtons(this, false));

    m_view->SetAxisCaption("", "m/s", 1, plot::kAxisX, 0);
    m_view->SetAxisCaption("", "m", 1, plot::kAxisY, 0);
    if (m_request.kind == 0) {
        OpenConstant(m_request.velocity);
        // The fit gives the depths; a constant keeps its 40 m/s across, as
        // the fit's fixed 1400 to 1700 m/s would show it as a bare line.
        const CPlotRanges constant = m_view->GetAxisRanges();
        m_view->FitToData();
        const CPlotRanges fitted = m_view->GetAxisRanges();
        m_view->SetAxisRanges(constant.x1, constant.x2, fitted.y1, fitted.y2, 1);
    } else {
        OpenFile();
        m_view->FitToData();
    }
    RunCommand(IdPickMode);
}

CSvpGraph::~CSvpGraph() = default;

QAction* CSvpGraph::Action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void CSvpGraph::OpenConstant(double velocity)
{
    const double lo = std::round(velocity - 20.0);
    const double hi = std::round(velocity + 20.0);
    m_view->SetAxisRanges(lo, hi, lo, hi, 0);
    m_view->SetRangeOptions(kRangeOptions, 1);
    const int curve = m_view->AddGraph(kCurveColour, true, m_request.curveName, 0, false, true);
    for (int depth = 0; depth <= 300; depth += 50)
        m_view->AddPoint(curve, velocity, -depth, 0, 1, -1, 1);
}

void CSvpGraph::OpenFile()
{
    CSvpProfile profile;
    std::string folder = CPaths::WithTrailingSeparator(m_request.folder);
    std::string name = m_request.fileName;
    if (profile.ParseDatagram(folder + name, m_request.format) <= 0) {
        MessageBox(HWND{}, "Could not read the profile file " + name + ".\nThe editor opens " + kFallbackFile + ".", "",
                   MB_OK | MB_ICONEXCLAMATION);
        folder = CPaths::WithTrailingSeparator(CPaths::MapWindowsPath(CSvpProfile::GetFolder(m_model)));
        name = kFallbackFile;
        profile.Clear();
        if (profile.ParseDatagram(folder + name, CSvpProfile::FormatAsvp) <= 0)
            MessageBox(HWND{}, std::string("Could not read the profile file ") + kFallbackFile + " either.", "",
                       MB_OK | MB_ICONEXCLAMATION);
    } else if (m_request.format != static_cast<DWORD>(CSvpProfile::FormatAsvp)) {
        // Edited as a profile of our own: the file of another kind is kept,
        // its points go to an ".asvp" file beside it at once.
        name += ".asvp";
        profile.WriteAsvp(folder + name);
    }
    m_request.folder = folder;
    m_request.fileName = name;
    m_request.format = CSvpProfile::FormatAsvp;
    m_view->SetRangeOptions(kRangeOptions, 1);
    const int curve =
        m_view->AddGraph(kCurveColour, true, m_request.curveName.empty() ? name : m_request.curveName, 0, false, true);
    for (const _svpPair& p : profile.Points())
        m_view->AddPoint(curve, p.velocity, -p.depth, 0, 1, -1, 1);
}

void CSvpGraph::CheckMode(int id)
{
    for (int mode : {IdDeleteMode, IdPickMode, IdAddMode, IdZoomMode, IdPanMode})
        m_actions[mode]->setChecked(mode == id);
}

void CSvpGraph::RunCommand(int id)
{
    switch (id) {
    case IdDeleteMode:
        m_view->SetDeleteMode();
        break;
    case IdPickMode:
        m_view->SetPickMode();
        break;
    case IdAddMode:
        m_view->SetAddMode();
        break;
    case IdZoomMode:
        m_view->SetZoomMode();
        break;
    case IdPanMode:
        m_view->SetPanMode();
        break;
    case IdFit:
        m_view->FitToData();
        return;
    case IdUndo:
        m_view->Undo();
        return;
    case IdSaveAs:
        SaveAs();
        return;
    default:
        return;
    }
    CheckMode(id);
}

bool CSvpGraph::Store(const std::string& folder, const std::string& fileName)
{
    CSvpProfile profile;
    if (const CGraphProp* curve = m_view->GetGraph(0))
        for (int i = 0; i < curve->GetCount(); ++i) {
            double x = 0.0, y = 0.0;
            curve->GetPoint(i, x, y);
            profile.AddPoint(-y, x);
        }
    const std::string path = CPaths::WithTrailingSeparator(folder) + fileName;
    if (!CPaths::CreateFolder(CPaths::WithTrailingSeparator(folder)) || profile.WriteAsvp(path) <= 0)
        return false;
    m_request.folder = CPaths::WithTrailingSeparator(folder);
    m_request.fileName = fileName;
    m_request.format = CSvpProfile::FormatAsvp;
    m_request.stored = true;
    return true;
}

void CSvpGraph::accept()
{
    // A constant has no file yet: it is stored under its curve's name in the
    // model's profile folder.
    std::string folder = m_request.folder;
    std::string name = m_request.fileName;
    if (name.empty()) {
        folder = CPaths::MapWindowsPath(CSvpProfile::GetFolder(m_model));
        name = m_request.curveName + ".asvp";
    }
    Store(folder, name);
    QDialog::accept();
}

void CSvpGraph::SaveAs()
{
    const std::string start =
        m_request.folder.empty() ? CPaths::MapWindowsPath(CSvpProfile::GetFolder(m_model)) : m_request.folder;
    std::string path;
    if (m_hooks.chooseSaveAs) {
        path = m_hooks.chooseSaveAs(start);
    } else {
        QFileDialog dialog(this, QString(), QString::fromStdString(start), "Svp files (*.asvp)");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("asvp");
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().front().toStdString();
    }
    if (path.empty())
        return;
    const QFileInfo info(QString::fromStdString(path));
    Store((info.absolutePath() + "/").toStdString(), info.fileName().toStdString());
}

void CSvpGraph::Run(SSvpEditRequest& request, SounderModel model, QWidget* parent)
{
    CSvpGraph graph(request, model, {}, parent);
    graph.exec();
}
