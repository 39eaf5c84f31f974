// Unattended answers to modal dialogs in test runs.
#pragma once

// When KELOJS_TEST_AUTODLG is set and not empty, answers the next modal dialog of the app: it
// looks for one 200 ms from now and then every 200 ms, at most 30 more times. A file chooser
// is cancelled when the value is "cancel" and accepted otherwise; in other dialogs the first
// button that Escape ("cancel") or Return (any other value) would press is clicked, failing
// that the first button Return would press, failing that the first button; while that button
// is insensitive the dialog is looked at again at the next poll. Call it right before the
// dialog is shown.
void kelo_test_autodlg_arm();
