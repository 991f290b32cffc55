// A QApplication for the plot windows' tests, a recording pane for column 1,
// pixel helpers that compare colours by their top five bits a channel, and
// answers to modal dialogs.
#pragma once

#include "plot/GraphMessage.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/Graphix.h"
#include "testsupport/ui/QtTestApp.h"

#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plottest {

inline QApplication& QtApp()
{
    return zv::test::QtTestApp();
}

// Stands in column 1 and writes down each message: "code slot index newIndex
// flag" for point records, "code" alone for those without one.
class RecordingPane : public QWidget, public IGraphPane
{
public:
    long OnGraphMessage(const CGraphMessage& m) override
    {
        std::string s = std::to_string(m.code);
        if (const auto* p = std::get_if<CGraphPointRecord>(&m.record)) {
            for (int v : {p->slot, p->index, p->newIndex, p->flag})
                s += " " + std::to_string(v);
        }
        heard.push_back(s);
        return 0;
    }
    std::vector<std::string> heard;
};

// Colours as a 15-bit surface would keep them.
inline QRgb Five(QRgb c)
{
    return qRgb(qRed(c) & 0xF8, qGreen(c) & 0xF8, qBlue(c) & 0xF8);
}

inline bool SameColour(QRgb a, QRgb b)
{
    return Five(a) == Five(b);
}

// The pixels of the image whose colour is `c`, as "x,y" texts in rows.
inline std::vector<std::string> PixelsOf(const QImage& image, QRgb c, QRect area)
{
    std::vector<std::string> out;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (SameColour(image.pixel(x, y), c))
                out.push_back(std::to_string(x) + "," + std::to_string(y));
        }
    }
    return out;
}

inline int CountColour(const QImage& image, QRgb c, QRect area)
{
    return static_cast<int>(PixelsOf(image, c, area).size());
}

// Hands the next modal dialog of type T to `answer` as soon as it runs (from
// within its exec()), so that the test fills it in and ends it. Waiting
// stops with the returned timer.
template <typename T>
std::unique_ptr<QTimer> WhenModal(std::function<void(T&)> answer)
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(0);
    QTimer* t = timer.get();
    QObject::connect(t, &QTimer::timeout, t, [t, answer] {
        if (auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget())) {
            t->stop();
            answer(*dialog);
        }
    });
    t->start();
    return timer;
}

}  // namespace plottest
