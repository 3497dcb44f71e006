#!/usr/bin/env python3
"""Seeds parameters.xml: seed_parameters.py [--replace] FILE KEY=VALUE...

Writes a root/parameters skeleton when FILE is missing, and sets each KEY only when it is absent or empty,
so values the user chose stay as they are. With --replace each KEY gets its VALUE whatever it held, for
values a run decides itself, such as the port of a stand-in.
"""
import sys
import xml.etree.ElementTree as ET
from pathlib import Path


def main(argv):
    replace = len(argv) > 1 and argv[1] == "--replace"
    if replace:
        argv = argv[:1] + argv[2:]
    if len(argv) < 2:
        print("usage: seed_parameters.py [--replace] FILE KEY=VALUE...", file=sys.stderr)
        return 2
    path = Path(argv[1])
    if path.exists():
        tree = ET.parse(path)
        root = tree.getroot()
    else:
        root = ET.Element("root")
        tree = ET.ElementTree(root)
    parameters = root.find("parameters")
    if parameters is None:
        parameters = ET.SubElement(root, "parameters")
    for pair in argv[2:]:
        key, sep, value = pair.partition("=")
        if not sep:
            print(f"not KEY=VALUE: {pair}", file=sys.stderr)
            return 2
        element = next((e for e in parameters.findall("parameter") if e.get("name") == key), None)
        if element is None:
            element = ET.SubElement(parameters, "parameter", name=key, value=value)
        elif replace or not element.get("value"):
            element.set("value", value)
    ET.indent(tree, space="  ")
    path.parent.mkdir(parents=True, exist_ok=True)
    temp = path.with_name(path.name + ".tmp")
    tree.write(temp, encoding="UTF-8", xml_declaration=True)
    temp.replace(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
