#pragma once

#include "keywords/KeywordList.h"
#include "patrol/KeywordMatcher.h"
#include "patrol/WindowSearch.h"

#include <QString>

// What the patrol reads from the main window at every pass.
class PatrolHost {
public:
    virtual ~PatrolHost() = default;
    virtual QString mainCaption() const = 0;
    virtual quint32 ownProcessId() const = 0;
};

// One patrol pass: enumerate the visible unowned top-level windows and post a close
// request to every one whose title contains a keyword, sparing the desktop, the panels,
// windows titled like the main window and the program's own windows.
class PatrolPass {
public:
    PatrolPass(WindowSearch& search, const KeywordList& keywords, PatrolHost& host);
    void run();

private:
    WindowSearch& m_search;
    const KeywordList& m_keywords;
    PatrolHost& m_host;
    KeywordMatcher m_matcher; // rebuilt whenever the list's revision changes
    quint64 m_matcherRevision = ~quint64(0);
};
