#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The lines the send bar sent, newest last, walked with Up and Down as a shell's history is:
// the walk starts below the newest line, and going down past it gives back the line that was
// being typed when the walk began.
class CSendHistory {
public:
    static constexpr std::size_t kMaxLines = 50;

    // A line sent becomes the newest, the oldest going beyond kMaxLines; an empty line, or
    // the newest again, is not kept twice. Ends a walk.
    void Add(const std::string& strLine);
    // One line older; strTyped is what the line edit holds, kept when a walk begins. The oldest
    // line stays; without lines strTyped comes back.
    std::string Up(const std::string& strTyped);
    // One line newer; past the newest, the line typed before the walk, and the walk ends.
    // Outside a walk strTyped comes back.
    std::string Down(const std::string& strTyped);

    // Oldest first, for the settings file.
    const std::vector<std::string>& Lines() const { return m_vLines; }
    // From the settings file: the newest kMaxLines lines that are not empty. Ends a walk.
    void SetLines(const std::vector<std::string>& vLines);

private:
    std::vector<std::string> m_vLines;
    std::size_t m_nShown = 0; // the line shown during a walk; m_vLines.size() outside one
    std::string m_strTyped;
};
