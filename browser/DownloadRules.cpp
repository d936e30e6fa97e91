#include "browser/DownloadRules.h"

#include <cctype>

#include "boxconfig/SuiteNames.h"

bool IsSafeLocalName(const std::string& name)
{
    return FileNameFaultOf(name) == FileNameFault::None;
}

std::string UnsafeNameMessage(const std::string& name)
{
    return "The file name \"" + name +
           "\" given by the server cannot be used for a local file.\nThe file was not downloaded.";
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

void CBoxQueue::Append(const std::vector<std::string>& boxes)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_boxes.insert(m_boxes.end(), boxes.begin(), boxes.end());
}

bool CBoxQueue::TakeFront(std::string& box)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_boxes.empty())
        return false;
    box = m_boxes.front();
    m_boxes.pop_front();
    return true;
}
