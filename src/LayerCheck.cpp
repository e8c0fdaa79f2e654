// SPDX-License-Identifier: GPL-3.0-or-later
// Linked with one core layer's objects only; see CMakeLists.txt.
int main() { return 0; }
