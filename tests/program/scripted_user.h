#pragma once
// A scripted user in place of the modal questions and file choices of the controller.

#include "dialogs/Prompts.h"

#include <QDialog>
#include <QString>

#include <deque>
#include <functional>
#include <vector>

// Answers every question from a script and remembers what was asked.
class ScriptedUser : public TUserPrompts {
public:
    std::deque<QString> Files;
    bool ConfirmAnswer = true;
    bool ExecAnswer = true;
    std::function<void(QDialog*)> OnExec;
    std::vector<QString> Informed;
    std::vector<TFileQuestion> FileQuestions;
    std::vector<QString> Opened;
    bool OpenResult = true;
    // The window each question, file choice and message was given to, in order.
    std::vector<const QWidget*> Parents;

    QString AskFile(QWidget* parent, const TFileQuestion& question) override {
        Parents.push_back(parent);
        FileQuestions.push_back(question);
        if (Files.empty())
            return {};
        QString f = Files.front();
        Files.pop_front();
        return f;
    }
    std::vector<QString> Asked;
    bool Confirm(QWidget* parent, const QString&, const QString& text, QMessageBox::Icon) override {
        Parents.push_back(parent);
        Asked.push_back(text);
        return ConfirmAnswer;
    }
    void Inform(QWidget* parent, const QString&, const QString& text, QMessageBox::Icon) override {
        Parents.push_back(parent);
        Informed.push_back(text);
    }
    bool Exec(QDialog* dialog) override {
        if (OnExec)
            OnExec(dialog);
        return ExecAnswer;
    }
    bool OpenFile(const QString& path) override {
        Opened.push_back(path);
        return OpenResult;
    }
};
