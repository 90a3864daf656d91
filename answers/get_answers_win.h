// "获取答案": lists the questions of the captured page with their answers.
#pragma once

void getAnswers();
