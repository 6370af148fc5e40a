// Subcommand arguments through CLI11, with the program's own usage texts and messages.
#include "cli/command_arguments.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "cli/command_support.h"

CommandArguments::CommandArguments(std::string prefix, const char* usage)
    : prefix_(std::move(prefix)), usage_(usage), app_(std::make_unique<CLI::App>()) {
    // Whatever CLI11 does not take (unknown options; every word when there are no files) is
    // kept in order for parse to judge, so the messages are the program's own.
    app_->allow_extras();
}

CommandArguments::~CommandArguments() = default;

void CommandArguments::option(const char* name, const std::string& missing, Repeat repeat) {
    // Each value is kept; parse refuses a second one where only one is allowed.
    CLI::Option* option =
        app_->add_option(name)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    declared_.push_back({name, missing, repeat, option});
}

void CommandArguments::flag(const char* name) {
    // "--closed=false" would read as given; a flag takes no value.
    CLI::Option* option = app_->add_flag(name)
                              ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                              ->disable_flag_override();
    declared_.push_back({name, "", Repeat::many, option});
}

void CommandArguments::everyWordIsAFile() {
    everyWord_ = true;
}

void CommandArguments::callUnknownOptions(const char* what) {
    unknown_ = what;
}

const CommandArguments::Declared* CommandArguments::find(const std::string& name) const {
    for (const Declared& d : declared_) {
        if (d.name == name) return &d;
    }
    return nullptr;
}

int CommandArguments::parse(int argc, char** argv) {
    if (!everyWord_) app_->add_option("files", files_);
    try {
        app_->parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        fputs(usage_, stdout);
        return 0;
    } catch (const CLI::ArgumentMismatch& failure) {
        // A value is taken whatever it looks like, so only an option that ends the line can
        // lack one; a second one there is reported as given twice, as anywhere else.
        // The other mismatch is a value given to a flag ("--closed=yes"): no option by that name.
        const Declared* last = argc > 1 ? find(argv[argc - 1]) : nullptr;
        if (last == nullptr) {
            for (int i = 1; i < argc; ++i) {
                const char* equals = strchr(argv[i], '=');
                const Declared* d =
                    equals != nullptr
                        ? find(std::string(argv[i], static_cast<size_t>(equals - argv[i])))
                        : nullptr;
                if (d != nullptr && d->missing.empty()) {
                    return usageError(unknown_ + " \"" + argv[i] + "\"");
                }
            }
            return usageError(failure.what());
        }
        if (last->repeat == Repeat::once && last->option->count() > 0) {
            return usageError(last->name + " given twice");
        }
        return usageError(last->missing);
    } catch (const CLI::ParseError& failure) {
        return usageError(failure.what());
    }
    // CLI11 keeps the first "--", which ends the options, among what it did not take.
    std::vector<std::string> rest = app_->remaining();
    const auto mark = std::find(rest.begin(), rest.end(), "--");
    if (mark != rest.end()) rest.erase(mark);
    if (everyWord_) {
        files_ = rest;
    } else if (!rest.empty()) {
        return usageError(unknown_ + " \"" + rest.front() + "\"");
    }
    for (const Declared& d : declared_) {
        if (d.repeat == Repeat::once && d.option->count() > 1) {
            return usageError(d.name + " given twice");
        }
    }
    return -1;
}

const std::vector<std::string>& CommandArguments::values(const char* name) const {
    static const std::vector<std::string> none;
    const Declared* d = find(name);
    return d != nullptr ? d->option->results() : none;
}

const char* CommandArguments::value(const char* name) const {
    const std::vector<std::string>& all = values(name);
    return all.empty() ? nullptr : all.back().c_str();
}

bool CommandArguments::given(const char* name) const {
    const Declared* d = find(name);
    return d != nullptr && d->option->count() > 0;
}

int CommandArguments::usageError(const std::string& problem) const {
    printMessage(prefix_ + ": " + problem);
    fputs(usage_, stderr);
    return 2;
}
