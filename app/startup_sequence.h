#pragma once
namespace tallybell { int main(); }
