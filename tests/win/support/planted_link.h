// A link planted where the control looks for its folders or programs, as a program of the
// user could plant one, and removed again (the link, never what it points to).
#pragma once

#include <string>

namespace vl::test {

class PlantedLink {
public:
    // A symbolic link at `link`, which must not exist, to the existing folder or file
    // `target`: under Wine, whose files are the host's, made by the host's ln; on Windows
    // through the platform (developer mode or the privilege). Planted() tells.
    PlantedLink(std::wstring link, const std::wstring& target);
    ~PlantedLink();
    PlantedLink(const PlantedLink&) = delete;
    PlantedLink& operator=(const PlantedLink&) = delete;

    bool Planted() const { return m_planted; }

private:
    std::wstring m_link;
    bool m_planted = false;
};

} // namespace vl::test
