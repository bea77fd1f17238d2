#ifndef QIRFaultInjection_H
#define QIRFaultInjection_H
// Makes one named platform call fail on purpose, so tests reach failure paths that the real
// world rarely offers. Not installed: tests only.
//
// Points: "CreateQIRIXMLDOMDocumentBuilder", "CreateQIRIXMLSAXFactory",
// "CreateInputSourceFromBuffer", "CreateInputSourceFromFile", "GetDOMImplementation",
// "CreateDocumentType", "CreateDocument", "CreateElement", "SetAttribute", "GetAttribute",
// "AppendChild", "GetElementsByTagName", "Item", "WriteToString", "WriteToFile",
// "NewSequenceOctet", "FOpen", and the steps of QIRWriteFileAtomically: "WriteFileOpen",
// "WriteFileWrite" (half the bytes are written first), "WriteFileFlush", "WriteFileSync",
// "WriteFileClose" (the file is closed all the same), "WriteFileRename"; and "StreamedParse",
// whose failure makes a parse read the document as one with entities is read, through
// libxml2's own tree.

// Arms iPoint: its (iSkip + 1)-th call from now on fails, once. Arming a point again
// replaces its count; other points stay armed. A name not listed above aborts the process.
void QIRFailCall(const char* iPoint, int iSkip = 0);
// Forgets every armed failure; what already fired stays recorded.
void QIRFailNothing();
// True when iPoint has failed a call since it was last armed, so a test knows its failure
// came from the point it meant.
bool QIRFaultFired(const char* iPoint);
// For the platform: true when this call of iPoint is the one to fail.
bool QIRCallShouldFail(const char* iPoint);

#endif
