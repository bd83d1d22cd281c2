"""The splice as a short Python script: splice.py TEMPLATE CONTENT OUTPUT."""
import sys


def lines(path):
    with open(path, "rb") as f:
        for line in f:
            yield line.rstrip(b"\n").replace(b"\r", b"")


def main(template, content, output):
    with open(output, "wb") as out:
        for line in lines(template):
            if b"<textarea" in line:
                out.write(line.replace(b"</textarea>", b"") + b"\r\n")
                for note in lines(content):
                    out.write(note + b"\r\n")
                out.write(b"</textarea>\r\n")
            else:
                out.write(line + b"\r\n")


main(*sys.argv[1:])
