// The arguments of one subcommand, read by CLI11: its files in the order given, options that
// take one value, and flags. Values stay text; each subcommand reads them with its own checks
// and says what is wrong in its own words.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}  // namespace CLI

class CommandArguments {
public:
    // prefix starts every message ("loftwork export"); usage is what --help prints and what
    // follows every usage error.
    CommandArguments(std::string prefix, const char* usage);
    ~CommandArguments();

    // What an option given more than once does: a usage error "NAME given twice", or every
    // value kept in order.
    enum class Repeat { once, many };

    // An option that takes one value, as "--name VALUE" or "--name=VALUE". The value is the next
    // argument whatever it looks like, so it may be a negative number. missing is the problem
    // reported when the option ends the line without its value.
    void option(const char* name, const std::string& missing, Repeat repeat = Repeat::once);
    void flag(const char* name);
    // Every argument other than --help is a file or word, even one that starts with a minus sign
    // (eval's negative parameters); there are no options.
    void everyWordIsAFile();
    // Changes "unknown option" in the message about an option nobody declared.
    void callUnknownOptions(const char* what);

    // Reads argv (argv[0] is the subcommand's name). Returns -1 when the arguments were read;
    // otherwise the exit status, with everything said: 0 after --help printed the usage on
    // standard output, 2 after a usage error.
    int parse(int argc, char** argv);

    const std::vector<std::string>& files() const { return files_; }
    // The option's last value, or nullptr when it was not given.
    const char* value(const char* name) const;
    // Every value of the option, in the order given.
    const std::vector<std::string>& values(const char* name) const;
    bool given(const char* name) const;

    // "PREFIX: problem" and the usage on standard error; returns 2, the status of a usage error.
    int usageError(const std::string& problem) const;

private:
    struct Declared {
        std::string name;
        std::string missing;
        Repeat repeat;
        CLI::Option* option;
    };
    const Declared* find(const std::string& name) const;

    std::string prefix_;
    const char* usage_;
    std::string unknown_ = "unknown option";
    std::unique_ptr<CLI::App> app_;
    std::vector<Declared> declared_;
    std::vector<std::string> files_;
    bool everyWord_ = false;
};
