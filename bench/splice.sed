# The splice as a GNU sed script: every CR goes, a text-area line loses its
# closing tags and is followed by the notes (read afresh each time) and a
# closing line; every line leaves with CR LF. Needs notes.txt ending its
# lines in CR LF, as the notes file is copied as it is.
s/\r//g
/<textarea/{
  s#</textarea>##g
  s/$/\r/
  r notes.txt
  a </textarea>\r
  b
}
s/$/\r/
