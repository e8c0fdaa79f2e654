// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ParserCommand.h"

namespace kestrun {

// A decoder of one command: its request layout, its answer layout and its summary.
#define KESTRUN_DECLARE_PARSER_COMMAND(ClassName)  \
    class ClassName : public TParserCommand        \
    {                                              \
    public:                                        \
        QString GetShortValue() override;          \
                                                   \
    protected:                                     \
        void CreateFields() override;              \
        void CreateAnswerFields() override;        \
    }

KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand10);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand11);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand17);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand1E);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand1F);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand2E);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand2F);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand6B);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand80);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand81);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand82);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand83);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand85);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand89);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommand8D);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommandFC);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommandFF01);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommandFF0C);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommandFF45);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommandFF46);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommandFF61);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommandFF67);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommandFF69);
KESTRUN_DECLARE_PARSER_COMMAND(TParserCommandFF76);

#undef KESTRUN_DECLARE_PARSER_COMMAND

// Table structure: the summary stays the base's empty text.
class TParserCommand2D : public TParserCommand
{
protected:
    void CreateFields() override;
    void CreateAnswerFields() override;
};

} // namespace kestrun
