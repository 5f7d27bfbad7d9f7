// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message seam: every message box and Yes/No question of the program goes through it,
// so that tests can answer the questions and record every text.

#include <QString>

class Messages {
public:
    virtual ~Messages() = default;
    // A modal message with a single OK button and the application's title.
    virtual void inform(const QString& text) = 0;
    // The same box with an informative text under the message: what went wrong in detail and
    // what to do about it. The message itself stays exactly `text`.
    virtual void informWithDetails(const QString& text, const QString& details)
    {
        Q_UNUSED(details);
        inform(text);
    }
    // A modal Yes/No question with the stop icon and No as the default button; true for Yes.
    virtual bool askYesNo(const QString& text, const QString& title) = 0;
    // The same question with an informative text under it: what answering Yes will do.
    virtual bool askYesNoWithDetails(const QString& text, const QString& title, const QString& details)
    {
        Q_UNUSED(details);
        return askYesNo(text, title);
    }
};
