// One step of a channel's generation run: the request that the batch page's hidden frame loads
// (admin.asp?m=admin_articlehtml&action=doingupdatehtml&option=...&channelid=...), which does one
// batch of work and answers with the script that lets the page go on.
//
// The step takes only its kind (`option`), the step number (`doingcount`) and the class or subject
// id (`flag1`) from its address; folders, templates and page sizes are read from the database.
// The numbers must be plain digits (a step number from 1), the id must name a class or subject of
// the channel, and a page size given (`flag3`) must be digits: a step that fails these checks is
// refused as a whole, writes nothing and answers the page with the parameter message. A batch
// size below 1 counts as 1. An unknown kind does nothing and answers as done. A step whose files
// could not all be written answers with the number of files missing instead of "完成".
//
// The caller (ArticleHtml_Main) has checked the right and loaded the channel into state.channel.
// Request thread only; database errors throw DbError (the batch page's watchdog repeats the step).
#ifndef FOLIREX_PUBLISHING_GENERATION_STEP_H_
#define FOLIREX_PUBLISHING_GENERATION_STEP_H_

#include <cstdint>
#include <string>

#include "core/console_request.h"
#include "core/request_state.h"

namespace folirex {

// The answer of a step that did its work.
inline constexpr const char kStepDone[] =
    "<script language=javascript>parent.doReturn('完成');</script>";
// The answer of a refused step.
inline constexpr const char kStepRefused[] =
    "<script language=javascript>parent.doReturn('<font color=red>提示：参数错误！</font>');"
    "</script>";

// The channel's batch size (d_groupnum) as the planner and the steps use it: 1 to 32767.
int64_t BatchSize(const ChannelSettings& channel);

// Marks every article, class and subject page of the channel as to be generated again, in one
// transaction.
void ClearGeneratedFlags(DatabaseState& db, int64_t channel_id);

// Runs the step of the request and writes its answer.
void ArticleHtml_DoingUpdateHtml(RequestState& state, const ConsoleRequest& request);

}  // namespace folirex

#endif  // FOLIREX_PUBLISHING_GENERATION_STEP_H_
