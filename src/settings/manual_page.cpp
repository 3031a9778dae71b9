#include "settings/manual_page.h"

#include <string_view>

#include "settings/argument_help.h"
#include "settings/command_help.h"
#include "settings/help_table.h"
#include "settings/product.h"

namespace dorvan {
namespace {

// Text safe inside roff: backslashes and hyphens escaped, and no line that
// begins like a request.
std::string roff(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

// One entry: the name as a tag, the summary beside it, the syntax and the
// examples below as they are laid out in the help.
std::string entry(std::string_view tag, std::string_view help) {
    std::string out = ".TP\n.B " + roff(tag) + "\n";
    size_t end = help.find('\n');
    std::string_view summary = help.substr(0, end);
    while (summary.starts_with(' ')) summary.remove_prefix(1);
    while (summary.ends_with(' ')) summary.remove_suffix(1);
    out += roff(summary) + "\n";
    if (end == std::string_view::npos) return out;
    out += ".RS\n.nf\n";
    for (size_t start = end + 1; start <= help.size();) {
        end = help.find('\n', start);
        if (end == std::string_view::npos) end = help.size();
        std::string_view line = help.substr(start, end - start);
        while (line.ends_with(' ')) line.remove_suffix(1);
        out += line.empty() ? std::string(".sp\n") : roff(line) + "\n";
        start = end + 1;
    }
    return out + ".fi\n.RE\n";
}

constexpr std::string_view header = R"(.TH DORVAN 1 "" "{name}" "User Commands"
.SH NAME
dorvan \- scriptable console FTP client
.SH SYNOPSIS
.B dorvan
.br
.B dorvan
.BI @ commandfile
.RB [ \-\-\fIargument\fR
.IR value ]...
.br
.B dorvan
.BI \-\- argument
.I value
.RB [ \-\-\fIargument\fR
.IR value ]...
.RB [ @\fIcommandfile\fR ]
.br
.B dorvan
.I command
.RB [ \-\-\fIargument\fR
.IR value ]...
.br
.B dorvan
.BR \-\-help " | " \-h
.SH DESCRIPTION
Without arguments,
.B dorvan
shows its banner and the prompt
.BR "\(dq Dorvan>\(dq" ,
and reads one command per line: a command name followed by pairs of an
argument name and a value, as in
.BR "get \-\-src \(dqmy customer.txt\(dq \-\-local /home/me/" .
Values that contain blanks are enclosed in double quotes. A value, once
given, stays in force for the following commands until it is changed,
cleared with an empty value, or reset when the session is closed.
.PP
With a first argument that begins with
.BR @ ,
the file named after it is run as a list of commands (argument pairs that
follow are stored first); the prompt follows unless the file quits. A
relative file name is taken from the current folder, or, when it is not
there, from the folder of the program. Lines whose first character is
.B #
are comments.
.PP
With a first argument that is an argument name, the pairs are stored, the
file named by a following
.B @
argument runs, and then commands are read from the prompt, or from standard
input when it is not a terminal, as in
.BR "dorvan \-\-errorlevel true @job.txt" .
.PP
With a first argument that is a command, the rest of the command line is
that command's line: it runs once, connecting and logging in as it needs,
the session is closed and the program ends without the prompt, as in
.BR "dorvan get \-\-host h \-\-username u \-\-password p \-\-src f.bin \-\-local /data/" .
.PP
A line that names an argument no command reads, or that holds a value
following no argument name, is refused whole: nothing on it is stored and
its command does not run.
.PP
With the one argument
.B \-\-help
or
.BR \-h ,
it prints the usage screen of
.B help
and ends.
.PP
Type a command or an argument followed by
.B ?
for its help;
.B help
lists them all.
.SH COMMANDS
)";

constexpr std::string_view footer = R"(.SH INTERACTIVE USE
When standard input and standard output are terminals, the prompt line can
be edited: cursor keys, Home and End, word moves (Alt+B, Alt+F,
Ctrl+Left, Ctrl+Right), Ctrl+U, Ctrl+K and Ctrl+W. Up and Down recall
earlier lines and Ctrl+R searches them; the history is kept across runs.
Tab completes command names at the start of a line, argument names after
.BR \-\- ,
.B true
and
.B false
after a switch, and local paths after
.B \-\-local
and
.BR "put \-\-src" .
Ctrl+D on an empty line ends the input; Ctrl+C closes the session and ends
the program.
.SH EXIT STATUS
For a command given on the process command line: 0 when it succeeded, 1
when it failed, 2 when SIGINT, SIGQUIT, SIGHUP or SIGTERM ended it. 64 for
a process command line that was not understood (an unknown word, a lone
.BR @ ,
an unknown argument).
Otherwise 0, unless
.B \-\-errorlevel true
is in force when the program ends: then 1 when any command reported a
failure during the run, and 2 when the run ended because of SIGINT,
SIGQUIT, SIGHUP or SIGTERM.
.SH FILES
.TP
.I $XDG_DATA_HOME/Tolvane/Dorvan/dorvan\-log.txt
The log of every result and failure (default data folder
.IR ~/.local/share/Tolvane/Dorvan/ ).
When it is larger than 512,000 bytes at start, it is renamed
.I dorvan\-log.1.txt
(replacing an older one) and a new log begins. Both are readable by the
owner only.
.TP
.I $XDG_DATA_HOME/Tolvane/Dorvan/dorvan\-history
The prompt's history: the last 1,000 lines, readable by the owner only.
Lines that give a password are never written to it.
.TP
.I ~/.netrc
Login names and passwords by host
.RB ( machine ,
.BR login ,
.BR password ;
.B default
for any other host), used by
.B login
with
.BR "\-\-netrc true" ;
.I $NETRC
names another file. Refused when other users can read or change it, or
when another user owns it.
.TP
.IR $XDG_DATA_HOME/Tolvane/Dorvan/Dorvan_Home.url ", " How_to_Dorvan.url
Internet shortcuts to the home page and to this manual page, written when
missing.
.TP
.I $XDG_DATA_HOME/Tolvane/Dorvan/markdown.txt
The help of every command and argument in Markdown, written by
.BR generate .
.SH EXAMPLES
A command file, run by
.BR "dorvan @/home/backup/nightly.txt" ,
that fetches the new reports of a server (the password comes from
.IR ~/.netrc ):
.PP
.RS
.nf
# Nightly: the new reports from the partner's server.
set \-\-host ftp.example.org \-\-netrc true \-\-tls explicit
set \-\-remote /outgoing/reports \-\-local /data/reports/ \-\-recurse true
set \-\-include "*.csv|*.pdf" \-\-overwrite false
mget
quit
.fi
.RE
.PP
The crontab line that runs it every night at 02:30 and keeps its output; the
exit status is 1 when a command failed:
.PP
.RS
.nf
30 2 * * * /usr/bin/dorvan @/home/backup/nightly.txt \-\-errorlevel true < /dev/null > /home/backup/nightly.out 2>&1
.fi
.RE
.PP
One download as a whole job on the command line:
.PP
.RS
.nf
dorvan get \-\-host h \-\-username u \-\-password p \-\-src f.bin \-\-local /data/
.fi
.RE
.SH SEE ALSO
.BR netrc (5),
.BR crontab (5)
)";

std::string replaced(std::string_view text, std::string_view from, std::string_view to) {
    std::string out(text);
    for (size_t at = out.find(from); at != std::string::npos; at = out.find(from, at + to.size()))
        out.replace(at, from.size(), to);
    return out;
}

}  // namespace

std::string manualPage() {
    std::string page = replaced(header, "{name}", config().displayName());
    for (const HelpTable::Entry& command : commandHelpTable()) page += entry(command.name, command.text);
    page += ".SH ARGUMENTS\n";
    for (const HelpTable::Entry& argument : argumentHelpTable()) page += entry("--" + argument.name, argument.text);
    page += footer;
    return page;
}

}  // namespace dorvan
