// The copy loop: the template goes to the output line by line, and the
// content file's lines are spliced in at every text-area line.
#ifndef PLAKEN_SPLICE_SPLICE_H_
#define PLAKEN_SPLICE_SPLICE_H_

#include "linefile/line_file.h"

extern LineFile TemplateFile;
extern LineFile OutputFile;

// Copies TemplateName to OutputName, splicing in ContentName.
void ProcessTemplate();

// Copies the whole content file into OutputFile, reading it into `line`.
// A missing content file ends the run with a message.
void CopyContentFile(TextLine& line);

#endif  // PLAKEN_SPLICE_SPLICE_H_
