#include "sensors/SensorNotify.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex g_lock;
std::vector<sensors::testing::Box> g_boxes;
std::vector<sensors::testing::Posted> g_posts;
int g_answer = 0;

} // namespace

namespace sensors {

int ShowBox(const std::string& text, const std::string& caption, UINT flags)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_boxes.push_back({text, caption, flags});
    std::fprintf(stderr, "%s: %s\n", caption.empty() ? "Echosounder" : caption.c_str(), text.c_str());
    if (g_answer != 0)
        return g_answer;
    return (flags & 0x0F) == BoxYesNo ? AnswerYes : AnswerOk;
}

bool PostToMainFrame(UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_posts.push_back({message, wParam, lParam});
    return true;
}

std::string LocalPath(const std::string& path)
{
    std::string local = path;
    for (char& c : local)
        if (c == '\\')
            c = '/';
    return local;
}

namespace testing {

std::vector<Box> Boxes()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_boxes;
}

std::vector<Posted> Posts()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_posts;
}

void Clear()
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_boxes.clear();
    g_posts.clear();
    g_answer = 0;
}

void SetBoxAnswer(int answer)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_answer = answer;
}

} // namespace testing
} // namespace sensors
