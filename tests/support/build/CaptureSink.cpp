namespace testsupport { void CaptureSinkAnchor() {} }
