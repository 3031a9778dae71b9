#pragma once
namespace dorvan {
bool exportMarkdown();
}  // namespace dorvan
