#include "browser/DownloadRules.h"

#include <cctype>

#include "boxconfig/SuiteNames.h"

bool IsSafeLocalName(const std::string& name)
{
    return FileNameFaultOf(name) == FileNameFault::None && !EndsInDotOrBlank(name);
}

std::string UnsafeNameMessage(const std::string& name)
{
    return "The file name \"" + name +
           "\" given by the server cannot be used for a local file.\nThe file was not downloaded.";
}

std::string CutDownloadMessage(const std::string& reason, const std::string& name, bool removed)
{
    return reason + "\nThe download of \"" + name + "\" did not complete: " +
           (removed ? "the partial file was removed." : "the partial file could not be removed; do not use it.");
}

uint64_t ExpectedSize(const std::string& sizeColumn)
{
    const std::string text = sizeColumn.substr(0, 15);
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    uint64_t value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    return negative ? 0 : value;
}

int ProgressPosition(uint64_t received, uint64_t expected)
{
    if (expected == 0)
        return 0;
    if (received >= expected)
        return 100;
    // received * 100 / expected exactly, one decimal digit at a time: ten
    // additions modulo expected never exceed 64 bits.
    int position = 0;
    uint64_t rest = received;
    for (int digit = 0; digit < 2; ++digit) {
        uint64_t sum = 0;
        int tens = 0;
        for (int i = 0; i < 10; ++i) {
            if (sum >= expected - rest) {
                sum -= expected - rest;
                ++tens;
            } else {
                sum += rest;
            }
        }
        position = position * 10 + tens;
        rest = sum;
    }
    return position;
}

std::string LocalDownloadPath(const std::string& target, const std::string& name)
{
    return target + "\\" + name;
}

std::string CopyEngineCommand(const std::string& programFolder, const std::string& box, const std::string& target,
                              const std::vector<std::string>& names)
{
    std::string command = "\"" + BoxesEntryPath(programFolder, EngineFileName(box)) + "\" ";
    for (const std::string& name : names)
        command += " " + LocalDownloadPath(target, name);
    return command;
}

CCopyFiles::CCopyFiles(std::string target, std::vector<std::string> names)
    : m_target(std::move(target)),
      m_names(std::move(names)),
      m_arrived(m_names.size(), false)
{
}

void CCopyFiles::Arrived(const std::string& name)
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i] == name)
            m_arrived[i] = true;
}

void CCopyFiles::DownloadsEnded()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_ended = true;
}

bool CCopyFiles::HaveDownloadsEnded() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_ended;
}

std::vector<std::string> CCopyFiles::Names(bool arrived) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    std::vector<std::string> names;
    for (size_t i = 0; i < m_names.size(); ++i)
        if (m_arrived[i] == arrived)
            names.push_back(m_names[i]);
    return names;
}

bool CCopyFiles::TakeReport()
{
    std::lock_guard<std::mutex> hold(m_lock);
    const bool first = !m_reported;
    m_reported = true;
    return first;
}

std::string NotCopiedMessage(const std::vector<std::string>& missing)
{
    std::string text = "These files did not arrive and are not copied to other boxes:";
    for (const std::string& name : missing)
        text += "\n\"" + name + "\"";
    return text;
}

void CBoxQueue::Append(const std::vector<std::string>& boxes, const std::shared_ptr<CCopyFiles>& files)
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (const std::string& box : boxes)
        m_boxes.push_back({box, files});
}

bool CBoxQueue::TakeFront(std::string& box, std::shared_ptr<CCopyFiles>& files)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_boxes.empty() || !m_boxes.front().files->HaveDownloadsEnded())
        return false;
    box = m_boxes.front().box;
    files = m_boxes.front().files;
    m_boxes.pop_front();
    return true;
}

void CBoxQueue::Drop(const std::shared_ptr<CCopyFiles>& files)
{
    std::lock_guard<std::mutex> hold(m_lock);
    for (auto it = m_boxes.begin(); it != m_boxes.end();)
        it = it->files == files ? m_boxes.erase(it) : it + 1;
}
