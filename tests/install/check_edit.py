"""check_edit.py EDITED TITLE PICTURE: what mutagen reads from the copy of the example that the
installed-package consumer edited: an ID3v2.4 tag with the new title and the added front cover,
and everything the example had beside them."""
import sys

from mutagen.id3 import ID3


def main():
    path, title, picture_file = sys.argv[1:4]
    with open(picture_file, "rb") as f:
        picture = f.read()
    tag = ID3(path, translate=False)  # the frames as stored, not upgraded
    problems = []
    if tag.version[:2] != (2, 4):
        problems.append(f"version {tag.version}, not 2.4")
    if str(tag.get("TIT2")) != title:
        problems.append(f"title {str(tag.get('TIT2'))!r}, not {title!r}")
    added = [p for p in tag.getall("APIC") if p.desc == "Front"]
    if len(added) != 1 or added[0].type != 3 or added[0].mime != "image/png" \
            or added[0].data != picture:
        problems.append(f"the added picture reads as {added!r}")
    kept = [p for p in tag.getall("APIC") if p.desc == "Front cover"]
    if len(kept) != 1 or kept[0].mime != "image/bmp":
        problems.append("the example's own picture is gone")
    # The year of the ID3v2.3 tag is the recording time of the ID3v2.4 one.
    for frame, text in (("TPE1", "The Example Artist"), ("TALB", "Example Album"),
                        ("TDRC", "2024"), ("COMM:Second:ENG", "Another comment, with a description.")):
        if str(tag.get(frame)) != text:
            problems.append(f"{frame} reads {str(tag.get(frame))!r}, not {text!r}")
    if "TYER" in tag:
        problems.append("a TYER frame is left in the ID3v2.4 tag")
    for problem in problems:
        print("FAIL:", problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
