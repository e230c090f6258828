namespace testsupport {
void CaptureSinkAnchor() {}
} // namespace testsupport
