#include "display/ui/HistoryDialog.h"

#include "base/File.h"
#include "display/DIBSection.h"
#include "display/ui/PaperPrinter.h"
#include "platform/MessageBox.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>

#include <cstdlib>

namespace {

constexpr const char* kIllegalFile = "Illegal History File";
constexpr const char* kCaption = "Ostrival";
// The print-start message (61702).
constexpr const char* kFailedToStartPrint = "Could not start print job.";
constexpr const char* kMultipleTitle = "History Multiple Print Dialog";  // 45137
constexpr const char* kMultipleFilter = "Hist. files(+Files->Ctrl key,Print->Right button) (*.bmp);;All files (*)";

// Our printer: a 24 x 19 picture, with a red plus beside it for "Print M".
QPixmap PrinterImage(bool plus)
{
    QPixmap pixmap(plus ? 33 : 24, 19);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(6, 1, 11, 7);  // paper
    p.setBrush(QColor(192, 192, 192));
    p.drawRect(1, 8, 21, 7);  // body
    p.setBrush(Qt::white);
    p.drawRect(5, 14, 13, 4);  // output
    p.fillRect(17, 10, 2, 2, Qt::green);
    if (plus) {
        p.fillRect(27, 3, 3, 11, Qt::red);
        p.fillRect(23, 7, 11, 3, Qt::red);
    }
    return pixmap;
}

}  // namespace

CHistoryDialog::CHistoryDialog(SContext context, QWidget* parent) : QDialog(parent), m_context(std::move(context))
{
    setWindowTitle(" History");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    m_left = new CHistoryPicture(this);
    m_left->setObjectName(QString::number(kLeftId));
    m_right = new CHistoryPicture(this);
    m_right->setObjectName(QString::number(kRightId));
    m_scrollBar = new QScrollBar(Qt::Horizontal, this);
    m_scrollBar->setObjectName(QString::number(kScrollBarId));
    m_printSingle = new QPushButton(this);
    m_printSingle->setObjectName(QString::number(kPrintSingleId));
    m_printSingle->setAccessibleName("Print S");
    m_printSingle->setToolTip("Print S");
    m_printSingle->setIcon(PrinterImage(false));
    m_printSingle->setIconSize(QSize(24, 19));
    m_printMultiple = new QPushButton(this);
    m_printMultiple->setObjectName(QString::number(kPrintMultipleId));
    m_printMultiple->setAccessibleName("Print M");
    // On RM30 the button stays blank and does nothing.
    if (!m_context.rm30) {
        m_printMultiple->setToolTip("Print M");
        m_printMultiple->setIcon(PrinterImage(true));
        m_printMultiple->setIconSize(QSize(33, 19));
    }

    // The action is seen before the slider moves: the position the dialog
    // chooses is the one the slider takes.
    connect(m_scrollBar, &QAbstractSlider::actionTriggered, this, [this](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            OnHScroll(SB_LINELEFT, 0);
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            OnHScroll(SB_LINERIGHT, 0);
            break;
        case QAbstractSlider::SliderPageStepSub:
            OnHScroll(SB_PAGELEFT, 0);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            OnHScroll(SB_PAGERIGHT, 0);
            break;
        case QAbstractSlider::SliderMove:
            OnHScroll(SB_THUMBTRACK, m_scrollBar->sliderPosition());
            break;
        case QAbstractSlider::SliderToMinimum:
            OnHScroll(SB_LEFT, 0);
            break;
        case QAbstractSlider::SliderToMaximum:
            OnHScroll(SB_RIGHT, 0);
            break;
        default:
            OnHScroll(SB_ENDSCROLL, 0);
            break;
        }
        m_scrollBar->setSliderPosition(m_nPosition);
    });
    connect(m_scrollBar, &QAbstractSlider::sliderReleased, this,
            [this] { OnHScroll(SB_THUMBPOSITION, m_scrollBar->sliderPosition()); });
    connect(m_printSingle, &QPushButton::clicked, this, [this] { OnPrintSingle(); });
    connect(m_printMultiple, &QPushButton::clicked, this, [this] { OnPrintMultiple(); });

    OnInitDialog();
}

CHistoryPicture::Colours CHistoryDialog::ColoursOf(const LOGPALETTE& palette)
{
    auto colour = [&](int index) {
        const PALETTEENTRY& e = palette.palPalEntry[static_cast<std::size_t>(index)];
        return RGB(e.peRed, e.peGreen, e.peBlue);
    };
    CHistoryPicture::Colours colours{};
    colours[0] = colour(CPaletteControl::kBackgroundIndex);
    for (int i = 0; i < CPaletteControl::kEchoColourCount; ++i)
        colours[static_cast<std::size_t>(1 + i)] = colour(CPaletteControl::kFirstEchoIndex + i);
    colours[13] = colour(CPaletteControl::kTextIndex);
    return colours;
}

void CHistoryDialog::TakeList()
{
    m_list = m_context.list ? m_context.list() : SList{};
    m_nNewest = m_list.newest;
}

void CHistoryDialog::OnInitDialog()
{
    TakeList();
    const int n = static_cast<int>(m_list.files.size());
    if (m_list.exists && n > 0)
        m_nPosition = n - 1;
    if (n > 0)
        ShowPictures();
    if (m_list.exists)
        m_scrollBar->setRange(1, std::max(1, n - 1));
    m_scrollBar->setSingleStep(1);
    m_scrollBar->setPageStep(PageStep());
    m_scrollBar->setValue(m_nPosition);

    QScreen* screen = QGuiApplication::primaryScreen();
    const int depth = m_context.screenDepth ? m_context.screenDepth : (screen ? screen->depth() : 0);
    if (depth > 8 && m_context.palette) {
        const CHistoryPicture::Colours colours = ColoursOf(*m_context.palette);
        m_left->SetColors(colours);
        m_right->SetColors(colours);
    }
    const QSize size = screen ? screen->size() : QSize(800, 600);
    move(30, 80);
    resize(size.width() / 2, size.height() / 2);
}

int CHistoryDialog::PageStep() const
{
    const int max = static_cast<int>(m_list.files.size()) - 1;
    return (max > 0 ? max : 0) / 5 + 1;
}

bool CHistoryDialog::OpenHistoryFile(const std::string& path)
{
    // One box a file while the dialog is open (loading a damaged file
    // brings its own): a resize shows the pictures again at every step and
    // must not stack boxes.
    if (m_refused.count(path))
        return false;
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone))
        return false;
    CDIBSection dib;
    SIZE size;
    if (dib.Load(file))
        dib.GetSize(size);
    if (size.cx > kMinWidth && std::abs(size.cy) > kMinHeight)
        return true;
    m_refused.insert(path);
    MessageBox(0, kIllegalFile, kCaption, MB_OK | MB_ICONSTOP);
    return false;
}

void CHistoryDialog::ShowPicture(CHistoryPicture& picture, int index)
{
    const std::string& path = m_list.files[static_cast<std::size_t>(index)];
    if (OpenHistoryFile(path))
        picture.ShowFile(path);
}

void CHistoryDialog::ShowPictures()
{
    const int n = static_cast<int>(m_list.files.size());
    if (n <= 0)
        return;
    ShowPicture(*m_left, (m_nPosition + m_nNewest - 1) % n);
    ShowPicture(*m_right, (m_nPosition + m_nNewest) % n);
}

void CHistoryDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    const int cx = width();
    const int cy = height();
    m_left->setGeometry(0, 0, cx / 2, cy - 25);
    m_right->setGeometry(cx / 2, 0, cx / 2, cy - 25);
    if (!m_list.files.empty())
        ShowPictures();
    m_scrollBar->setGeometry(0, cy - 22, cx - 80, 20);
    m_printMultiple->setGeometry(cx - 78, cy - 22, 36, 20);
    m_printSingle->setGeometry(cx - 38, cy - 22, 36, 20);
}

void CHistoryDialog::OnHScroll(int code, int thumbPosition)
{
    TakeList();
    const int n = static_cast<int>(m_list.files.size());
    // An empty list has no pair to show: nothing moves.
    if (n == 0)
        return;
    const int min = 1;
    const int max = n - 1;
    m_scrollBar->setRange(min, std::max(min, max));
    const int step = PageStep();
    m_scrollBar->setPageStep(step);
    switch (code) {
    case SB_LINELEFT:
        if (m_nPosition > min)
            --m_nPosition;
        break;
    case SB_LINERIGHT:
        if (m_nPosition < max)
            ++m_nPosition;
        break;
    case SB_PAGELEFT:
        m_nPosition = std::max(min, m_nPosition - step);
        break;
    case SB_PAGERIGHT:
        m_nPosition = std::min(max, m_nPosition + step);
        break;
    case SB_THUMBTRACK:
        m_nPosition = thumbPosition;
        break;
    default:
        // Releasing the thumb, the ends and the end of scrolling leave the
        // pair where dragging left it.
        return;
    }
    m_scrollBar->setValue(m_nPosition);
    ShowPictures();
}

void CHistoryDialog::OnPrintSingle()
{
    std::unique_ptr<QPrinter> printer;
    const std::string name = m_context.documentName.substr(0, 31);
    if (m_context.printer && m_context.printer->HasPrinter()) {
        printer = m_context.printer->MakePrinter(false, name);
    } else {
        // Without a default printer the operator chooses one.
        printer = std::make_unique<QPrinter>();
        printer->setDocName(QString::fromStdString(name));
        QPrintDialog dialog(printer.get(), this);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    if (!printer)
        return;
    QPainter painter;
    if (!painter.begin(printer.get())) {
        MessageBox(0, kFailedToStartPrint, kCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const QRect page = painter.viewport();
    m_left->Print(painter, page, CHistoryPicture::kPrintLeft);
    m_right->Print(painter, page, CHistoryPicture::kPrintRight);
    painter.end();
}

void CHistoryDialog::OnPrintMultiple()
{
    if (m_context.rm30)
        return;
    QFileDialog dialog(this, kMultipleTitle, QString::fromStdString(m_context.historyFolder), kMultipleFilter);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setDefaultSuffix("bmp");
    dialog.setOption(QFileDialog::ReadOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    std::vector<std::string> paths;
    for (const QString& file : dialog.selectedFiles())
        paths.push_back(file.toStdString());
    PrintFiles(paths);
}

void CHistoryDialog::PrintFiles(const std::vector<std::string>& paths)
{
    if (!m_context.printer || !m_context.printer->HasPrinter())
        return;
    for (const std::string& path : paths) {
        if (!OpenHistoryFile(path))
            continue;
        CHistoryPicture picture;
        if (const auto& colours = m_left->GetColors())
            picture.SetColors(*colours);
        if (!picture.ShowFile(path))
            continue;
        std::unique_ptr<QPrinter> printer = m_context.printer->MakePrinter(false, path);
        QPainter painter;
        if (!printer || !painter.begin(printer.get())) {
            MessageBox(0, kFailedToStartPrint, kCaption, MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        const QRect page = painter.viewport();
        const QSize size = picture.Image().size().scaled(page.size(), Qt::KeepAspectRatio);
        painter.drawImage(QRect(page.topLeft(), size), picture.Image());
        painter.end();
    }
}
