// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message seam for tests: records every text shown and answers the Yes/No questions from a
// list given by the test.

#include "serial/messages.h"

#include <QList>
#include <QStringList>
#include <functional>

class RecordingMessages : public Messages {
public:
    void inform(const QString& text) override
    {
        shown.append(text);
        if (onInform)
            onInform(text);
    }
    // The message is recorded in `shown` like any other; its informative text in `details`.
    void informWithDetails(const QString& text, const QString& details) override
    {
        this->details.append(details);
        inform(text);
    }
    // The informative text of a question is recorded in `questionDetails`.
    bool askYesNoWithDetails(const QString& text, const QString& title, const QString& details) override
    {
        questionDetails.append(details);
        return askYesNo(text, title);
    }
    bool askYesNo(const QString& text, const QString& title) override
    {
        questions.append(title + QLatin1String(": ") + text);
        return answers.isEmpty() ? false : answers.takeFirst();
    }

    QStringList shown;                             // every message, in order
    QStringList details;                           // the informative text of each message that has one
    QStringList questions;                         // every question as "title: text"
    QStringList questionDetails;                   // the informative text of each question that has one
    QList<bool> answers;                           // true for Yes, consumed in order; No when empty
    std::function<void(const QString&)> onInform;  // runs while a message is "on screen"
};
