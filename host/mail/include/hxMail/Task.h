#pragma once
#include "hxMail/Message.h"

namespace hxMail {

class Task : public MessageItem {
    LATTICE_CLASS(Task, "Task", MessageItem)
#define HX_TASK_PROPERTIES(P) P(Lattice::_DateData, dueDate) P(bool, complete)
    LATTICE_PROPERTIES(MessageItem, HX_TASK_PROPERTIES)
#undef HX_TASK_PROPERTIES
};

class TaskDetail : public Item {
    LATTICE_CLASS(TaskDetail, "TaskDetail", Item)
#define HX_TASKDETAIL_PROPERTIES(P)                                                                          \
    P(Lattice::_DateData, startDate)                                                                         \
    P(long, status)                                                                                          \
    P(Lattice::String, percentComplete)                                                                      \
    P(Lattice::String, text)
    LATTICE_PROPERTIES(Item, HX_TASKDETAIL_PROPERTIES)
#undef HX_TASKDETAIL_PROPERTIES
};

} // namespace hxMail
