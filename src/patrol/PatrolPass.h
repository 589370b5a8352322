#pragma once

#include "keywords/KeywordList.h"
#include "patrol/KeywordMatcher.h"
#include "patrol/WindowSearch.h"

#include <cstdint>
#include <string>
#include <vector>

// What the patrol reads from the main window at every pass.
class PatrolHost {
public:
    virtual ~PatrolHost() = default;
    virtual std::u16string mainCaption() const = 0;
    virtual std::uint32_t ownProcessId() const = 0;
};

// One patrol pass: enumerate the visible unowned top-level windows and post a close
// request to every one whose title contains a keyword, sparing the desktop, the panels,
// windows titled like the main window and the program's own windows.
class PatrolPass {
public:
    // The pass keeps its own matcher, built at its first run() and rebuilt whenever the
    // list has changed since.
    PatrolPass(WindowSearch& search, const KeywordList& keywords, PatrolHost& host);
    // The pass uses a matcher that outlives it, so that a pass made for every tick does not
    // rebuild the automaton unless the list has changed.
    PatrolPass(WindowSearch& search, const KeywordList& keywords, PatrolHost& host,
               KeywordMatcher& matcher);
    PatrolPass(const PatrolPass&) = delete;
    PatrolPass& operator=(const PatrolPass&) = delete;

    // A whole pass over every window.
    void run();
    // The same protections, keyword test and close request for the given windows alone
    // (those that are still top-level windows), as the pass would treat them.
    void check(const std::vector<WindowHandle>& windows);

private:
    void patrol(const std::vector<WindowInfo>& windows);

    WindowSearch& m_search;
    const KeywordList& m_keywords;
    PatrolHost& m_host;
    KeywordMatcher m_ownMatcher;
    KeywordMatcher& m_matcher; // rebuilt whenever the list's revision changes
};
