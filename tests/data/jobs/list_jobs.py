"""Prints what an independent reader sees in a job document, one line per element."""
import sys
import xml.etree.ElementTree as ElementTree

root = ElementTree.parse(sys.argv[1]).getroot()
print(root.tag, root.get("version"), sep="|")
for job in root.iter("EDB_Job"):
    print("EDB_Job", *("%s=%s" % item for item in job.attrib.items()), sep="|")
    for part in job:
        print(" " + part.tag, *("%s=%s" % item for item in part.attrib.items()), sep="|")
