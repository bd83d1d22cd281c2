# The splice as an awk program (mawk or gawk, LC_ALL=C): notes=FILE names
# the content file, read afresh at every text-area line.
BEGIN { ORS = "\r\n" }
{
  gsub(/\r/, "")
  if (index($0, "<textarea")) {
    gsub(/<\/textarea>/, "")
    print
    while ((getline line < notes) > 0) {
      gsub(/\r/, "", line)
      print line
    }
    close(notes)
    print "</textarea>"
  } else {
    print
  }
}
