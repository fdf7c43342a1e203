#pragma once
// The program's own command-line options, read before the toolkit starts so that --help and
// --version work without a display. Everything else (the toolkit's options and the INI file) is
// passed on in its order.

#include <string>
#include <vector>

enum class TStartAction { Run, Help, Version, Paths, Usage };

struct TStartOptions {
    TStartAction Action = TStartAction::Run;
    int Language = 0;              // LangRussian: the program's language unless asked otherwise
    std::vector<std::string> Rest; // the arguments left for the toolkit and the program
    std::string Problem;           // why the command line was refused (Action == Usage)
    std::string Warning;           // something ignored, said once on standard error
};

// `args` without the program name; `envLanguage` is $KERVOLA_LANG or null. --lang wins over the
// environment; a bad value of the environment is ignored with a warning, a bad --lang is refused.
TStartOptions ParseStartOptions(const std::vector<std::string>& args, const char* envLanguage);

// 0 for "ru", 1 for "en" (any case), -1 for anything else.
int LanguageCode(const std::string& name);

std::string StartHelpText();
